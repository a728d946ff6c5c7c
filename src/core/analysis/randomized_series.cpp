#include "analysis/randomized_series.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/fast_resampler.h"
#include "analysis/random_generator.h"
#include "analysis/randomization_tests.h"
#include "analysis/run_view.h"
#include "analysis/spilled_values.h"
#include "engine/population_evaluation.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

std::size_t Size(int32_t value) { return static_cast<std::size_t>(value); }

// The values of one block of every test are about this large at most.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// Worker threads that may still start; negative: no limit (LimitThreadStarts).
std::atomic<int32_t> threadStartsLeft{-1};

// A value or an error, as a test's evaluation gives it.
struct Outcome {
  bool known = false;
  Extended value = Extended(0);
  std::exception_ptr error;
};

template <typename Evaluate>
Outcome Try(Evaluate evaluate) {
  try {
    return Outcome{true, evaluate(), nullptr};
  } catch (const RunError&) {
    return Outcome{true, Extended(0), std::current_exception()};
  }
}

// A test's first failing iteration, as the workers find it.
struct Failure {
  // INT32_MAX while none; 0 when the test's observed evaluation failed, so that none of
  // its iterations is worked out.
  std::atomic<int32_t> failedAt{INT32_MAX};
  std::exception_ptr error;  // written under the pass's mutex
};

// What one thread works with: the resampler's working copy, the population tests'
// storage, and the values of tables known not to change.
struct Worker {
  FastResampler* fast = nullptr;
  FastResampler ownFast;
  PopulationWorkspace population;
  std::vector<Outcome> constant;  // per slot
  bool constantKnown = false;     // `constant` holds every value of a table that never changes
  std::vector<int32_t> failedAt;  // per slot: the first failure this worker saw
};

}  // namespace

struct SeriesPass {
  uint32_t seed = 0;
  int32_t iterations = 0;
  bool keepRange = true;  // the tallies keep their central 95 % (TallyState::keepRange)
  const DataFile* data = nullptr;
  const PopulationIndex* index = nullptr;
  // The table resampled and evaluated: the test's own, or the overall table.
  TableVariant base;
  bool baseValue = false;    // slot 0: the base table's own value
  bool loci = false;         // slots 1..L: locus tests from the overall table
  bool populations = false;  // slots from populationSlot: population tests
  int32_t locusCount = 0;
  int32_t populationCount = 0;
  int32_t populationSlot = 0;
  int32_t slots = 0;
  ResamplingPlan plan;
  FastResampler fast;
  uint64_t drawsPerIteration = 0;
  std::vector<uint8_t> populationConstant;  // per population: its rows never change
  std::vector<Failure> failures;            // per slot

  // The observed evaluation of every test, which a thread makes first (a pass shared by
  // the tests of a Run): the observed table is the resampled table of the observed places.
  bool observedToMake = false;
  std::vector<int32_t> observedPlaces;
  std::atomic<bool> observedTaken{false};
  bool observedMade = false;  // under mutex
  std::vector<IterationValue> observed;

  // Blocks of iterations, worked out into a ring of `window` buffers of every slot's
  // values (iteration by iteration) and folded in order by the Run's own thread.
  int32_t blockSize = 1;
  int32_t blocks = 0;
  int32_t window = 1;
  std::vector<Extended> ring;
  std::vector<int32_t> ringBlock;  // under mutex: the block each buffer holds, once done
  std::atomic<int32_t> nextBlock{0};
  int32_t folded = 0;  // blocks folded; written under mutex
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::condition_variable blockDone;   // a block or an observed evaluation is done
  std::condition_variable windowFree;  // a block was folded
  std::exception_ptr fatal;            // under mutex: a failure that is no test's error

  // Folded by the Run's own thread: every slot's tally, slot 0's with its values when
  // `baseValue`, and the other slots' values when their files need them.
  std::vector<TallyState> tallies;
  std::vector<uint8_t> folding;  // per slot: still folded (no failure yet)
  TallyState baseObserved;
  bool talliesStarted = false;
  std::optional<SpilledValues> spill;
  std::exception_ptr spillError;  // the spill failed; told to the first test that needs it

  std::unique_ptr<Worker> inlineWorker;
  std::vector<std::unique_ptr<Worker>> threadWorkers;
  // Declared last: stopped and joined before anything they use is destroyed.
  std::vector<std::thread> workers;

  ~SeriesPass() { Stop(); }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    windowFree.notify_all();
    for (std::thread& worker : workers) {
      if (worker.joinable()) worker.join();
    }
  }
};

namespace {

void Record(SeriesPass& pass, Worker& worker, Extended* row, std::size_t slot, int32_t i,
            const Outcome& outcome) {
  if (!outcome.error) {
    row[slot] = outcome.value;
    return;
  }
  worker.failedAt[slot] = std::min(worker.failedAt[slot], i);
  Failure& failure = pass.failures[slot];
  const std::lock_guard<std::mutex> lock(pass.mutex);
  if (i < failure.failedAt.load(std::memory_order_relaxed)) {
    failure.failedAt.store(i, std::memory_order_relaxed);
    failure.error = outcome.error;
  }
}

// Whether slot's values from iteration i on are needed: not after a known failure.
bool Needed(const SeriesPass& pass, const Worker& worker, std::size_t slot, int32_t i) {
  return worker.failedAt[slot] > i &&
         pass.failures[slot].failedAt.load(std::memory_order_relaxed) > i;
}

// A locus test's value from the overall table's outcome of its locus: the float sums
// and the errors of a table of that locus alone.
Extended LocusValue(const EvaluationWork& work, int32_t locus) {
  const int32_t used = work.usedIndex[Size(locus)];
  if (used < 0) return FisFromOutcomes(nullptr, 0);
  return FisFromOutcomes(&work.locus.outcomes[Size(used)], 1);
}

void Iterate(SeriesPass& pass, Worker& worker, RandomGenerator& generator, int32_t i,
             Extended* row) {
  FastResampler& fast = *worker.fast;
  ResampleFast(fast, pass.plan, generator);
  // A base table that never changes gives every iteration the values of the first.
  const bool constantTable = fast.steps.empty();
  if (constantTable && worker.constantKnown) {
    for (std::size_t slot = 0; slot < Size(pass.slots); ++slot) {
      if (worker.constant[slot].known && Needed(pass, worker, slot, i)) {
        Record(pass, worker, row, slot, i, worker.constant[slot]);
      }
    }
    return;
  }
  const PreparedEvaluation& evaluation = *fast.evaluation;
  EvaluationWork& work = fast.work;
  if (pass.baseValue || pass.loci) {
    EvaluatePreparedLoci(evaluation, work, fast.chosen.data());
  } else {
    CountPrepared(evaluation, work, fast.chosen.data());
  }
  auto keep = [&](std::size_t slot, const Outcome& outcome) {
    Record(pass, worker, row, slot, i, outcome);
    if (constantTable) worker.constant[slot] = outcome;
  };
  if (pass.baseValue && Needed(pass, worker, 0, i)) {
    keep(0, Try([&] { return FisFromOutcomes(work.locus.outcomes.data(), work.usedLoci.size()); }));
  }
  if (pass.loci) {
    for (int32_t k = 1; k <= pass.locusCount; ++k) {
      if (!Needed(pass, worker, Size(k), i)) continue;
      keep(Size(k), Try([&] { return LocusValue(work, k - 1); }));
    }
  }
  if (pass.populations) {
    for (int32_t k = 1; k <= pass.populationCount; ++k) {
      const std::size_t slot = Size(pass.populationSlot + k - 1);
      if (!Needed(pass, worker, slot, i)) continue;
      Outcome& known = worker.constant[slot];
      if (pass.populationConstant[Size(k - 1)] && known.known) {
        Record(pass, worker, row, slot, i, known);
        continue;
      }
      const Outcome outcome = Try([&] {
        return EvaluatePopulation(evaluation, work.lanes.data(), k - 1, pass.plan.size[Size(k - 1)],
                                  worker.population);
      });
      Record(pass, worker, row, slot, i, outcome);
      if (constantTable || pass.populationConstant[Size(k - 1)]) known = outcome;
    }
  }
  worker.constantKnown = constantTable;
}

// The buffer of block b: every slot's value of each of its iterations.
Extended* BlockValues(SeriesPass& pass, int32_t b) {
  return pass.ring.data() + Size(b % pass.window) * Size(pass.blockSize) * Size(pass.slots);
}

// Iterations of block b; false when the pass stopped first.
bool RunBlock(SeriesPass& pass, Worker& worker, int32_t b) {
  const int32_t first = b * pass.blockSize + 1;
  const int32_t last = std::min(pass.iterations, first + pass.blockSize - 1);
  RandomGenerator generator{ApplyJump(
      RandomJumpAhead(static_cast<uint64_t>(first - 1) * pass.drawsPerIteration), pass.seed)};
  Extended* values = BlockValues(pass, b);
  for (int32_t i = first; i <= last; ++i) {
    if (pass.stopping.load(std::memory_order_relaxed)) return false;
    Iterate(pass, worker, generator, i, values + Size(i - first) * Size(pass.slots));
  }
  return true;
}

// Every test's observed evaluation, as each test's own would give it (the prepared
// evaluation of a table holds the bits, or the error, of the engine's evaluation of any
// table of the same genotypes: ObservedPlaces).
void MakeObserved(SeriesPass& pass, Worker& worker) {
  FastResampler& fast = *worker.fast;
  const std::vector<int32_t> chosen = ChosenFor(fast, pass.observedPlaces);
  const PreparedEvaluation& evaluation = *fast.evaluation;
  EvaluationWork& work = fast.work;
  EvaluatePreparedLoci(evaluation, work, chosen.data());
  std::vector<Outcome> outcomes(Size(pass.slots));
  if (pass.baseValue) {
    outcomes[0] =
        Try([&] { return FisFromOutcomes(work.locus.outcomes.data(), work.usedLoci.size()); });
  }
  for (int32_t k = 1; pass.loci && k <= pass.locusCount; ++k) {
    outcomes[Size(k)] = Try([&] { return LocusValue(work, k - 1); });
  }
  for (int32_t k = 1; pass.populations && k <= pass.populationCount; ++k) {
    outcomes[Size(pass.populationSlot + k - 1)] = Try([&] {
      return EvaluatePopulation(evaluation, work.lanes.data(), k - 1, pass.plan.size[Size(k - 1)],
                                worker.population);
    });
  }
  for (int32_t slot = 0; slot < pass.slots; ++slot) {
    const Outcome& outcome = outcomes[Size(slot)];
    if (!outcome.known) continue;
    pass.observed[Size(slot)] = IterationValue{outcome.value, outcome.error};
    // A test whose observed evaluation fails makes no iteration.
    if (outcome.error) pass.failures[Size(slot)].failedAt.store(0, std::memory_order_relaxed);
  }
}

std::unique_ptr<Worker> MakeWorker(SeriesPass& pass, bool ownCopy) {
  auto worker = std::make_unique<Worker>();
  if (ownCopy) {
    worker->ownFast = pass.fast;
    worker->fast = &worker->ownFast;
  } else {
    worker->fast = &pass.fast;
  }
  worker->constant.resize(Size(pass.slots));
  worker->failedAt.assign(Size(pass.slots), INT32_MAX);
  return worker;
}

void WorkerLoop(SeriesPass& pass, Worker* worker) {
  try {
    if (pass.observedToMake && !pass.observedTaken.exchange(true)) {
      MakeObserved(pass, *worker);
      const std::lock_guard<std::mutex> lock(pass.mutex);
      pass.observedMade = true;
      pass.blockDone.notify_all();
    }
    while (!pass.stopping.load(std::memory_order_relaxed)) {
      const int32_t b = pass.nextBlock.fetch_add(1);
      if (b >= pass.blocks) break;
      {
        // A few blocks ahead of the fold at most, so that memory stays bounded.
        std::unique_lock<std::mutex> lock(pass.mutex);
        pass.windowFree.wait(lock, [&] { return b < pass.folded + pass.window || pass.stopping; });
        if (pass.stopping) break;
      }
      if (!RunBlock(pass, *worker, b)) break;
      const std::lock_guard<std::mutex> lock(pass.mutex);
      pass.ringBlock[Size(b % pass.window)] = b;
      pass.blockDone.notify_all();
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(pass.mutex);
    if (!pass.fatal) pass.fatal = std::current_exception();
    pass.stopping = true;
    pass.blockDone.notify_all();
    pass.windowFree.notify_all();
  }
}

int32_t SlotOf(const SeriesPass& pass, const TableVariant& variant) {
  if (pass.baseValue && variant.kind == pass.base.kind && variant.subject == pass.base.subject) {
    return 0;
  }
  if (pass.loci && variant.kind == RandomizationKind::kPerLocus && variant.subject >= 1 &&
      variant.subject <= pass.locusCount) {
    return variant.subject;
  }
  if (pass.populations && variant.kind == RandomizationKind::kPerPopulation &&
      variant.subject >= 1 && variant.subject <= pass.populationCount) {
    return pass.populationSlot + variant.subject - 1;
  }
  return -1;
}

int32_t CheckedSlot(const SeriesPass& pass, const TableVariant& variant) {
  const int32_t slot = SlotOf(pass, variant);
  if (slot < 0) ThrowInternalError("the pass has no values for this test");
  return slot;
}

// Starts a thread, or fails as the system does when it cannot.
std::thread StartThread(SeriesPass& pass, Worker* worker) {
  int32_t left = threadStartsLeft.load();
  while (left >= 0) {
    if (left == 0) throw std::system_error(EAGAIN, std::generic_category(), "thread start");
    if (threadStartsLeft.compare_exchange_weak(left, left - 1)) break;
  }
  return std::thread([&pass, worker] { WorkerLoop(pass, worker); });
}

std::shared_ptr<SeriesPass> StartPass(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                                      const TableVariant& variant, uint32_t seed,
                                      TallyState& observed, RunView& view) {
  auto pass = std::make_shared<SeriesPass>();
  const RunSettings& settings = inputs.settings;
  pass->seed = seed;
  pass->iterations = inputs.iterations;
  pass->keepRange = observed.keepRange;
  pass->data = &inputs.data;
  pass->index = &inputs.index;
  pass->plan = plan;
  if (inputs.store == nullptr) {
    pass->base = variant;
    pass->baseValue = true;
  } else {
    const bool overall = variant.kind == RandomizationKind::kOverall;
    pass->base = TableVariant{RandomizationKind::kOverall, 0};
    pass->baseValue = overall;
    pass->loci =
        variant.kind == RandomizationKind::kPerLocus || (overall && settings.perLocusAnalysis);
    pass->populations =
        variant.kind == RandomizationKind::kPerPopulation || settings.perPopulationAnalysis;
  }
  const int32_t threads = ThreadCount(settings.threads);
  pass->fast = MakeFastResampler(plan, inputs.clones.cloneFree, pass->base, threads);
  pass->drawsPerIteration = plan.drawsBefore.back();

  int32_t slots = 1;
  if (pass->loci) {
    pass->locusCount = plan.header.loci;
    slots += pass->locusCount;
  }
  pass->populationSlot = slots;
  if (pass->populations) {
    pass->populationCount = plan.header.populations;
    slots += pass->populationCount;
    for (std::size_t p = 0; p < plan.size.size(); ++p) {
      pass->populationConstant.push_back(plan.clonal[p] == 0 || plan.distinct[p] <= 1 ? 1 : 0);
    }
  }
  pass->slots = slots;
  pass->failures = std::vector<Failure>(Size(slots));
  if (!pass->baseValue) pass->failures[0].failedAt = 0;  // no test of its own

  // A pass shared by the tests of a Run makes their observed evaluations; each test of its
  // own is given its own.
  pass->observed.resize(Size(slots));
  if (inputs.store != nullptr) {
    pass->observedToMake = true;
    pass->observedPlaces = ObservedPlaces(inputs.index, inputs.clones);
  }
  // The test's own values go to the room its tally has for them (the Run makes it before
  // writing any file, so that a Run too large for memory fails first).
  pass->baseObserved = observed;
  pass->baseObserved.values = std::move(observed.values);
  pass->baseObserved.notAboveFlags = std::move(observed.notAboveFlags);

  const int32_t iterations = std::max(inputs.iterations, 1);
  pass->blockSize =
      threads == 1 ? 16 : std::clamp(iterations / (threads * 16), int32_t{1}, int32_t{64});
  const auto fitting = static_cast<int32_t>(
      std::max<std::size_t>(1, kBlockBytes / (Size(slots) * sizeof(Extended))));
  pass->blockSize = std::min(pass->blockSize, fitting);
  pass->blocks = (inputs.iterations + pass->blockSize - 1) / pass->blockSize;
  const int32_t workers = std::min(threads, pass->blocks);
  pass->window = workers <= 1 ? 1 : 2 * workers + 2;
  pass->ring.resize(Size(pass->window) * Size(pass->blockSize) * Size(slots));
  pass->ringBlock.assign(Size(pass->window), -1);

  // The files of the tests other than slot 0 read their values back from a scratch file;
  // one that cannot be made fails the first test that needs it.
  const bool spillValues = settings.writeFisValues;
  const bool spillFlags = settings.createPValueFiles;
  if ((spillValues || spillFlags) && slots > 1) {
    try {
      pass->spill =
          StartSpill(inputs.files.folder, slots, inputs.iterations, spillValues, spillFlags);
    } catch (const RunError&) {
      pass->spillError = std::current_exception();
    }
  }

  if (workers > 1) {
    // Every copy is made before any thread changes the pass's own resampler.
    for (int32_t w = 0; w < workers; ++w) pass->threadWorkers.push_back(MakeWorker(*pass, w != 0));
    for (int32_t w = 0; w < workers; ++w) {
      try {
        pass->workers.push_back(StartThread(*pass, pass->threadWorkers[Size(w)].get()));
      } catch (const std::system_error&) {
        // The threads that started share the work; the results do not depend on how many.
        const auto started = static_cast<int32_t>(pass->workers.size());
        pass->threadWorkers.resize(Size(started));
        view.ShowNotice(messages::ThreadsNotStarted(started, workers));
        break;
      }
    }
  }
  if (pass->workers.empty()) {
    pass->threadWorkers.clear();
    pass->window = 1;
    pass->inlineWorker = MakeWorker(*pass, false);
  }
  return pass;
}

// Each slot's tally after its observed evaluation, before the first block is folded.
void StartTallies(SeriesPass& pass) {
  pass.tallies.resize(Size(pass.slots));
  pass.folding.assign(Size(pass.slots), 0);
  for (int32_t slot = 0; slot < pass.slots; ++slot) {
    TallyState& tally = pass.tallies[Size(slot)];
    if (slot == 0 && !pass.baseValue) continue;
    if (slot == 0) {
      tally = std::move(pass.baseObserved);
      tally.keepValues = true;
      tally.values.clear();
      tally.notAboveFlags.clear();
    }
    if (pass.observedToMake) {
      const IterationValue& observed = pass.observed[Size(slot)];
      if (observed.error) continue;
      std::vector<double> values = std::move(tally.values);
      std::vector<bool> flags = std::move(tally.notAboveFlags);
      const bool keep = tally.keepValues;
      tally = MakeTallyState(pass.iterations);
      tally.keepValues = keep;
      tally.keepRange = pass.keepRange;
      tally.values = std::move(values);
      tally.notAboveFlags = std::move(flags);
      tally.observedFlag = true;
      UpdateTally(tally, observed.value);
    }
    pass.folding[Size(slot)] = 1;
  }
  pass.talliesStarted = true;
}

// Adds block b's values to every slot's tally, iteration by iteration, up to each slot's
// first failure.
void FoldBlock(SeriesPass& pass, int32_t b) {
  if (!pass.talliesStarted) StartTallies(pass);
  const int32_t first = b * pass.blockSize + 1;
  const int32_t last = std::min(pass.iterations, first + pass.blockSize - 1);
  const Extended* values = BlockValues(pass, b);
  SpilledValues* spill = pass.spill ? &*pass.spill : nullptr;
  for (int32_t i = first; i <= last; ++i) {
    const Extended* row = values + Size(i - first) * Size(pass.slots);
    for (int32_t slot = 0; slot < pass.slots; ++slot) {
      if (!pass.folding[Size(slot)]) continue;
      if (i >= pass.failures[Size(slot)].failedAt.load(std::memory_order_relaxed)) {
        pass.folding[Size(slot)] = 0;
        continue;
      }
      TallyState& tally = pass.tallies[Size(slot)];
      tally.iterationIndex = i;
      const bool notAbove = AddRandomizedFis(tally, row[slot]);
      if (spill != nullptr && slot != 0) {
        SpillRecord(*spill, slot, static_cast<double>(row[slot]), notAbove);
      }
    }
    if (spill == nullptr) continue;
    try {
      EndSpilledIteration(*spill);
    } catch (const RunError&) {
      pass.spillError = std::current_exception();
      pass.spill.reset();
      spill = nullptr;
    }
  }
}

// Makes the observed evaluations on this thread when no other thread does.
void MakeObservedHere(SeriesPass& pass) {
  if (!pass.observedToMake || pass.observedTaken.exchange(true)) return;
  MakeObserved(pass, *pass.inlineWorker);
  pass.observedMade = true;
}

// Works out (on this thread) or waits for the next block, then folds it.
void FoldNext(SeriesPass& pass) {
  const int32_t b = pass.folded;
  if (pass.inlineWorker) {
    MakeObservedHere(pass);
    if (!RunBlock(pass, *pass.inlineWorker, b)) ThrowInternalError("the values were stopped");
    FoldBlock(pass, b);
    pass.folded = b + 1;
    return;
  }
  {
    std::unique_lock<std::mutex> lock(pass.mutex);
    pass.blockDone.wait(lock, [&] {
      return ((pass.observedMade || !pass.observedToMake) &&
              pass.ringBlock[Size(b % pass.window)] == b) ||
             pass.fatal || pass.stopping;
    });
    if (pass.fatal) std::rethrow_exception(pass.fatal);
    if (pass.stopping) ThrowInternalError("the values were stopped");
  }
  FoldBlock(pass, b);
  {
    const std::lock_guard<std::mutex> lock(pass.mutex);
    pass.folded = b + 1;
  }
  pass.windowFree.notify_all();
}

}  // namespace

int32_t ThreadCount(int32_t setting) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // WebAssembly without threads: the Run's own thread works out every value, and the
  // files are the same as with any count.
  (void)setting;
  return 1;
#else
  if (setting > 0) return setting;
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
#endif
}

std::shared_ptr<SeriesPass> SeriesFor(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                                      const TableVariant& variant, uint32_t seed,
                                      TallyState& observed, RunView& view) {
  SeriesStore* store = inputs.store;
  if (store != nullptr && store->pass && store->pass->seed == seed &&
      store->pass->iterations == inputs.iterations && SlotOf(*store->pass, variant) >= 0) {
    return store->pass;
  }
  if (store != nullptr) store->pass.reset();  // stops the old pass first
  std::shared_ptr<SeriesPass> pass = StartPass(inputs, plan, variant, seed, observed, view);
  if (store != nullptr) store->pass = pass;
  return pass;
}

std::exception_ptr AwaitIteration(SeriesPass& pass, const TableVariant& variant,
                                  int32_t iteration) {
  const int32_t slot = CheckedSlot(pass, variant);
  if (iteration < 1 || iteration > pass.iterations) {
    ThrowInternalError(FillMessage("no value of iteration {} for this test", iteration));
  }
  const int32_t b = (iteration - 1) / pass.blockSize;
  while (pass.folded <= b) FoldNext(pass);
  Failure& failure = pass.failures[Size(slot)];
  const int32_t failedAt = failure.failedAt.load(std::memory_order_relaxed);
  if (iteration < failedAt) return nullptr;
  if (iteration > failedAt) {
    ThrowInternalError(FillMessage("iteration {} after the failure of {}", iteration, failedAt));
  }
  const std::lock_guard<std::mutex> lock(pass.mutex);
  return failure.error;
}

int32_t IterationsReady(const SeriesPass& pass, const TableVariant& variant) {
  const int32_t slot = CheckedSlot(pass, variant);
  const int64_t folded = std::min<int64_t>(int64_t{pass.folded} * pass.blockSize, pass.iterations);
  // A folded block's failures are all recorded: a later one can only fail further on.
  const int32_t failedAt = pass.failures[Size(slot)].failedAt.load(std::memory_order_relaxed);
  return static_cast<int32_t>(std::min<int64_t>(folded, int64_t{failedAt} - 1));
}

const TallyState& PassTally(const SeriesPass& pass, const TableVariant& variant) {
  const int32_t slot = CheckedSlot(pass, variant);
  if (!pass.talliesStarted) ThrowInternalError("no tally before the first iteration");
  return pass.tallies[Size(slot)];
}

void TakeTally(SeriesPass& pass, const TableVariant& variant, TallyState& state) {
  const int32_t slot = CheckedSlot(pass, variant);
  if (!pass.talliesStarted) ThrowInternalError("the tally of a test not folded");
  TallyState& tally = pass.tallies[Size(slot)];
  const bool complete = tally.randomized == pass.iterations;
  if (!complete && pass.folding[Size(slot)]) {
    ThrowInternalError("the tally of a test whose iterations are not all folded");
  }
  // The pass folded from the same observed evaluation, bit for bit.
  const ExtendedBits given = BitsOf(state.observedFis);
  const ExtendedBits made = BitsOf(tally.observedFis);
  if (state.randomized != 0 || given.significand != made.significand ||
      given.signExponent != made.signExponent) {
    ThrowInternalError("the pass's observed value differs from the test's");
  }
  state.sumFis = tally.sumFis;
  state.randomized = tally.randomized;
  state.notAbove = tally.notAbove;
  state.notBelow = tally.notBelow;
  state.range = std::move(tally.range);
  if (!complete) return;  // up to its failing iteration: the counts alone
  state.iterationIndex = pass.iterations + 1;
  if (slot == 0) {
    state.values = std::move(tally.values);
    state.notAboveFlags = std::move(tally.notAboveFlags);
    return;
  }
  state.values.clear();
  state.notAboveFlags.clear();
  if (pass.spillError) std::rethrow_exception(pass.spillError);
  if (pass.spill) ReadSpilled(*pass.spill, slot, state.values, state.notAboveFlags);
}

const IterationValue* PassObserved(SeriesPass& pass, const TableVariant& variant) {
  const int32_t slot = SlotOf(pass, variant);
  if (slot < 0 || !pass.observedToMake) return nullptr;
  if (pass.inlineWorker) {
    MakeObservedHere(pass);
  } else {
    std::unique_lock<std::mutex> lock(pass.mutex);
    pass.blockDone.wait(lock, [&] { return pass.observedMade || pass.fatal || pass.stopping; });
    if (pass.fatal) std::rethrow_exception(pass.fatal);
    if (!pass.observedMade) ThrowInternalError("the observed evaluations were stopped");
  }
  return &pass.observed[Size(slot)];
}

void StopSeries(SeriesPass& pass) { pass.Stop(); }

void LimitThreadStarts(int32_t starts) { threadStartsLeft = starts; }

}  // namespace genosieve
