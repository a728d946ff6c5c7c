# cmake -DBUILD_DIR=... -DPREFIX=... -DWITH_WINDOW=ON|OFF -DWITH_FIGURES=0|1 -DLIBDIR=lib
#       -DHAVE_MANUAL=0|1 -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${log}")
endif()

set(expected bin/genosieve-cli share/doc/genosieve/README.md share/doc/genosieve/LICENSE
             share/doc/genosieve/examples/aspen.txt share/doc/genosieve/examples/two-populations.txt)
if(WITH_WINDOW)
  list(APPEND expected bin/genosieve share/applications/genosieve.desktop
       share/icons/hicolor/scalable/apps/genosieve.svg)
endif()
if(HAVE_MANUAL)
  list(APPEND expected share/man/man1/genosieve-cli.1)
endif()
# genosieve-cli's figures module, the one library installed, for the program alone.
set(figures_module ${LIBDIR}/genosieve/genosieve-cli-figures.so)
if(WITH_FIGURES)
  list(APPEND expected ${figures_module})
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "missing from the install: ${path}")
  endif()
endforeach()
# Only the user's programs: no test, benchmark, screenshot tool or library.
file(GLOB programs RELATIVE ${PREFIX}/bin ${PREFIX}/bin/*)
list(SORT programs)
set(expected_programs genosieve-cli)
if(WITH_WINDOW)
  set(expected_programs genosieve genosieve-cli)
endif()
if(NOT programs STREQUAL expected_programs)
  message(FATAL_ERROR "installed programs: '${programs}', expected '${expected_programs}'")
endif()
file(GLOB_RECURSE libraries ${PREFIX}/*.a ${PREFIX}/*.so ${PREFIX}/*.h)
list(REMOVE_ITEM libraries ${PREFIX}/${figures_module})
if(libraries)
  message(FATAL_ERROR "development files installed: ${libraries}")
endif()

# The manual page lists every option of --help.
if(HAVE_MANUAL)
  file(READ ${PREFIX}/share/man/man1/genosieve-cli.1 manual)
  string(REPLACE "\\-" "-" manual "${manual}")
  foreach(option --iterations --result --pvalue-files --per-locus --per-pop --seed --directory
                 --quiet --version DATAFILE)
    string(FIND "${manual}" "${option}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the manual page does not mention ${option}")
    endif()
  endforeach()
endif()

# The installed program runs the installed example.
set(work ${PREFIX}/work)
file(MAKE_DIRECTORY ${work})
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${PREFIX}/bin/genosieve-cli -q -n 9 --seed 1 -C ${work}
                        ${PREFIX}/share/doc/genosieve/examples/two-populations.txt
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out STREQUAL "done ! \n")
  message(FATAL_ERROR "installed genosieve-cli: status ${status}, stdout '${out}', stderr '${err}'")
endif()

# It finds its figures module under the prefix, wherever that is.
if(WITH_FIGURES)
  set(work ${PREFIX}/figures)
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${emulator} ${PREFIX}/bin/genosieve-cli -q -n 9 --seed 1 --figures -C ${work}
                          ${PREFIX}/share/doc/genosieve/examples/two-populations.txt
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "done ! \n" OR NOT err STREQUAL "")
    message(FATAL_ERROR
            "installed genosieve-cli --figures: status ${status}, stdout '${out}', stderr '${err}'")
  endif()
  foreach(figure Fis_distribution_results.svg Fis_distribution_results.png
                 Running_pvalue_results.svg Running_pvalue_results.png)
    if(NOT EXISTS ${work}/${figure})
      message(FATAL_ERROR "installed genosieve-cli --figures wrote no ${figure}")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${PREFIX})
