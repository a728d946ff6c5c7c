#!/usr/bin/env bash
# genosieve-cli.mjs (the WebAssembly build under Node.js) against the native genosieve-cli:
# the same Runs, each in a fresh folder of its own holding a copy of the data file, must
# give the same exit status, the same standard output and error, and the same files,
# byte for byte (cmp). Every example, every data file of the layout tests (native,
# Genepop, GenAlEx, FSTAT) and every malformed file, with every analysis, the p-value and
# Fis value files and a seed; then the options that change what a Run writes.
#
#   tests/web/twin_runs.sh NATIVE_CLI TWIN_MJS
#
# Prints one line per Run and ends with "N passed, N failed".
set -uo pipefail
native="$(realpath "$1")"
twin="$(realpath "$2")"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/genosieve-twin.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The native program writes the locale's decimal separator; the twin has only "C".
export LC_ALL=C.UTF-8

passed=0
failed=0
count=0

# run_pair NAME DATAFILE [OPTION...]: the data file is copied into each folder under its
# own name and named relatively, as a user in its folder would.
run_pair() {
  local name="$1" data="$2"
  shift 2
  count=$((count + 1))
  local case="$work/$count"
  mkdir -p "$case/native" "$case/twin"
  local base=""
  if [ -n "$data" ]; then
    base="$(basename "$data")"
    cp "$data" "$case/native/$base"
    cp "$data" "$case/twin/$base"
  fi
  (cd "$case/native" && "$native" "$@" ${base:+"$base"} >../native.out 2>../native.err)
  local native_status=$?
  (cd "$case/twin" && node "$twin" "$@" ${base:+"$base"} >../twin.out 2>../twin.err)
  local twin_status=$?
  local problems=()
  [ "$native_status" -eq "$twin_status" ] ||
    problems+=("exit status $twin_status instead of $native_status")
  # Messages may name a file by its full path, whose folder is each Run's own.
  local stream
  for stream in out err; do
    sed "s#$case/native/#FOLDER/#g" "$case/native.$stream" >"$case/native.$stream.same"
    sed "s#$case/twin/#FOLDER/#g" "$case/twin.$stream" >"$case/twin.$stream.same"
  done
  cmp -s "$case/native.out.same" "$case/twin.out.same" || problems+=("standard output differs")
  cmp -s "$case/native.err.same" "$case/twin.err.same" || problems+=("standard error differs")
  local files
  files="$( (cd "$case/native" && find . -type f | sort) )"
  [ "$files" = "$( (cd "$case/twin" && find . -type f | sort) )" ] ||
    problems+=("not the same files: $(diff <(echo "$files") <(cd "$case/twin" && find . -type f | sort) | tr '\n' ' ')")
  local file
  while IFS= read -r file; do
    [ -n "$file" ] || continue
    if [ -f "$case/twin/$file" ] && ! cmp -s "$case/native/$file" "$case/twin/$file"; then
      problems+=("${file#./} differs")
    fi
  done <<<"$files"
  local written
  written="$(grep -c . <<<"$files")"
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    echo "ok     $name ($written files, status $native_status)"
  else
    failed=$((failed + 1))
    echo "FAILED $name: ${problems[*]}"
    echo "       native stderr: $(head -c 300 "$case/native.err")"
    echo "       twin stderr:   $(head -c 300 "$case/twin.err")"
  fi
}

all=(--per-locus --per-pop --pvalue-files --fis-values)

for data in "$root"/examples/*.txt; do
  run_pair "$(basename "$data") -n 200" "$data" -n 200 --seed 5 "${all[@]}"
done
run_pair "aspen.txt -n 9999" "$root/examples/aspen.txt" -q -n 9999 --seed 17 "${all[@]}"
for data in "$root"/tests/data/import/*/*.gen "$root"/tests/data/import/*/*.csv \
  "$root"/tests/data/import/*/*.dat "$root"/tests/data/import/*/*_twin.txt; do
  run_pair "import/$(basename "$data")" "$data" -n 20 --seed 99 "${all[@]}"
done
for data in "$root"/tests/data/bad_input/* "$root"/tests/data/reader/*; do
  run_pair "$(basename "$(dirname "$data")")/$(basename "$data")" "$data" -n 10 --seed 3 "${all[@]}"
done

aspen="$root/examples/aspen.txt"
run_pair "result name and format chosen" "$aspen" -n 30 --seed 8 -o other.txt --format native --per-pop
run_pair "threads" "$aspen" -n 50 --seed 9 --threads 3 --per-locus
run_pair "zero iterations" "$aspen" -n 0 --seed 1 "${all[@]}"
run_pair "iterations not a number" "$aspen" -n 12x --seed 1
run_pair "Genepop file read as FSTAT" "$root/tests/data/import/genepop/zostera.gen" -n 5 --format fstat
run_pair "write-data" "$root/tests/data/import/genalex/lakes_semicolon.csv" --write-data lakes.txt
run_pair "write-data over its input" "$aspen" -q --write-data aspen.txt
run_pair "result name of the data file" "$aspen" -n 5 --seed 1 -o aspen.txt
run_pair "missing data file" "" -n 5 missing.txt
run_pair "bad seed" "$aspen" --seed 4294967296
run_pair "unknown option" "$aspen" --no-such-option
run_pair "help" "" --help
run_pair "version" "" --version

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
