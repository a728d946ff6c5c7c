#include "analysis/randomized_series.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "analysis/fast_resampler.h"
#include "analysis/random_generator.h"
#include "analysis/randomization_tests.h"
#include "engine/population_evaluation.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

std::size_t Size(int32_t value) { return static_cast<std::size_t>(value); }

// One test's values in iteration order, up to its first failing iteration.
struct Series {
  std::vector<Extended> values;
  std::atomic<int32_t> failedAt{INT32_MAX};
  std::exception_ptr failure;  // written under the pass's mutex
};

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
  // The table resampled and evaluated: the test's own, or the overall table.
  TableVariant base;
  bool baseValue = false;    // slot 0: the base table's own value
  bool loci = false;         // slots 1..L: locus tests from the overall table
  bool populations = false;  // slots from populationSlot: population tests
  int32_t locusCount = 0;
  int32_t populationCount = 0;
  int32_t populationSlot = 0;
  ResamplingPlan plan;
  FastResampler fast;
  uint64_t drawsPerIteration = 0;
  std::vector<uint8_t> populationConstant;  // per population: its rows never change
  std::vector<Series> series;

  int32_t blockSize = 1;
  int32_t blocks = 0;
  std::atomic<int32_t> nextBlock{0};
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::condition_variable blockDone;
  std::vector<uint8_t> done;  // per block, under mutex
  std::exception_ptr fatal;   // under mutex: a failure that is no test's error
  std::unique_ptr<Worker> inlineWorker;
  int32_t inlineNext = 0;
  std::vector<std::unique_ptr<Worker>> threadWorkers;
  // Declared last, and stopped and joined on every path (StopSeries, the destructor)
  // before anything they use is destroyed.
  std::vector<std::thread> workers;

  ~SeriesPass() { JoinWorkers(); }

  void JoinWorkers() {
    stopping = true;
    for (std::thread& worker : workers) {
      if (worker.joinable()) worker.join();
    }
  }
};

namespace {

void Record(SeriesPass& pass, Worker& worker, std::size_t slot, int32_t i, const Outcome& outcome) {
  Series& series = pass.series[slot];
  if (!outcome.error) {
    series.values[Size(i - 1)] = outcome.value;
    return;
  }
  worker.failedAt[slot] = std::min(worker.failedAt[slot], i);
  const std::lock_guard<std::mutex> lock(pass.mutex);
  if (i < series.failedAt.load(std::memory_order_relaxed)) {
    series.failedAt.store(i, std::memory_order_relaxed);
    series.failure = outcome.error;
  }
}

// Whether slot's values from iteration i on are needed: not after a known failure.
bool Needed(const SeriesPass& pass, const Worker& worker, std::size_t slot, int32_t i) {
  return worker.failedAt[slot] > i &&
         pass.series[slot].failedAt.load(std::memory_order_relaxed) > i;
}

// A locus test's value from the overall table's outcome of its locus: the float sums
// and the errors of a table of that locus alone.
Extended LocusValue(const EvaluationWork& work, int32_t locus) {
  const int32_t used = work.usedIndex[Size(locus)];
  if (used < 0) return FisFromOutcomes(nullptr, 0);
  return FisFromOutcomes(&work.locus.outcomes[Size(used)], 1);
}

void Iterate(SeriesPass& pass, Worker& worker, RandomGenerator& generator, int32_t i) {
  FastResampler& fast = *worker.fast;
  ResampleFast(fast, pass.plan, generator);
  // A base table that never changes gives every iteration the values of the first.
  const bool constantTable = fast.steps.empty();
  if (constantTable && worker.constantKnown) {
    for (std::size_t slot = 0; slot < pass.series.size(); ++slot) {
      if (worker.constant[slot].known) Record(pass, worker, slot, i, worker.constant[slot]);
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
    Record(pass, worker, slot, i, outcome);
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
        Record(pass, worker, slot, i, known);
        continue;
      }
      const Outcome outcome = Try([&] {
        return EvaluatePopulation(evaluation, work.lanes.data(), k - 1, pass.plan.size[Size(k - 1)],
                                  worker.population);
      });
      Record(pass, worker, slot, i, outcome);
      if (constantTable || pass.populationConstant[Size(k - 1)]) known = outcome;
    }
  }
  worker.constantKnown = constantTable;
}

// Iterations of block b; false when the pass stopped first.
bool RunBlock(SeriesPass& pass, Worker& worker, int32_t b) {
  const int32_t first = b * pass.blockSize + 1;
  const int32_t last = std::min(pass.iterations, first + pass.blockSize - 1);
  RandomGenerator generator{ApplyJump(
      RandomJumpAhead(static_cast<uint64_t>(first - 1) * pass.drawsPerIteration), pass.seed)};
  for (int32_t i = first; i <= last; ++i) {
    if (pass.stopping.load(std::memory_order_relaxed)) return false;
    Iterate(pass, worker, generator, i);
  }
  return true;
}

std::unique_ptr<Worker> MakeWorker(SeriesPass& pass, bool ownCopy) {
  auto worker = std::make_unique<Worker>();
  if (ownCopy) {
    worker->ownFast = pass.fast;
    worker->fast = &worker->ownFast;
  } else {
    worker->fast = &pass.fast;
  }
  worker->constant.resize(pass.series.size());
  worker->failedAt.assign(pass.series.size(), INT32_MAX);
  return worker;
}

void WorkerLoop(SeriesPass& pass, Worker* worker) {
  try {
    while (!pass.stopping.load(std::memory_order_relaxed)) {
      const int32_t b = pass.nextBlock.fetch_add(1);
      if (b >= pass.blocks || !RunBlock(pass, *worker, b)) break;
      const std::lock_guard<std::mutex> lock(pass.mutex);
      pass.done[Size(b)] = 1;
      pass.blockDone.notify_all();
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(pass.mutex);
    if (!pass.fatal) pass.fatal = std::current_exception();
    pass.stopping = true;
    pass.blockDone.notify_all();
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

std::shared_ptr<SeriesPass> StartPass(const RandomizationInputs& inputs, const ResamplingPlan& plan,
                                      const TableVariant& variant, uint32_t seed) {
  auto pass = std::make_shared<SeriesPass>();
  const RunSettings& settings = inputs.settings;
  pass->seed = seed;
  pass->iterations = inputs.iterations;
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
  pass->fast = MakeFastResampler(plan, inputs.clones.cloneFree, pass->base);
  pass->drawsPerIteration = plan.drawsBefore.back();

  const auto iterations = Size(std::max(inputs.iterations, 0));
  std::size_t slots = 1;
  if (pass->loci) {
    pass->locusCount = plan.header.loci;
    slots += Size(pass->locusCount);
  }
  pass->populationSlot = static_cast<int32_t>(slots);
  if (pass->populations) {
    pass->populationCount = plan.header.populations;
    slots += Size(pass->populationCount);
    for (std::size_t p = 0; p < plan.size.size(); ++p) {
      pass->populationConstant.push_back(plan.clonal[p] == 0 || plan.distinct[p] <= 1 ? 1 : 0);
    }
  }
  pass->series = std::vector<Series>(slots);
  for (std::size_t slot = 0; slot < slots; ++slot) {
    if (slot == 0 && !pass->baseValue) continue;
    pass->series[slot].values.resize(iterations);
  }

  const int32_t threads = ThreadCount(settings.threads);
  pass->blockSize =
      threads == 1 ? 16 : std::clamp(inputs.iterations / (threads * 16), int32_t{1}, int32_t{64});
  pass->blocks = (inputs.iterations + pass->blockSize - 1) / pass->blockSize;
  pass->done.assign(Size(pass->blocks), 0);
  const int32_t workers = std::min(threads, pass->blocks);
  if (workers <= 1) {
    pass->inlineWorker = MakeWorker(*pass, false);
  } else {
    // Every copy is made before any thread changes the pass's own resampler.
    for (int32_t w = 0; w < workers; ++w) pass->threadWorkers.push_back(MakeWorker(*pass, w != 0));
    SeriesPass& shared = *pass;
    for (int32_t w = 0; w < workers; ++w) {
      Worker* worker = pass->threadWorkers[Size(w)].get();
      pass->workers.emplace_back([&shared, worker] { WorkerLoop(shared, worker); });
    }
  }
  return pass;
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
                                      const TableVariant& variant, uint32_t seed) {
  SeriesStore* store = inputs.store;
  if (store != nullptr && store->pass && store->pass->seed == seed &&
      store->pass->iterations == inputs.iterations && SlotOf(*store->pass, variant) >= 0) {
    return store->pass;
  }
  if (store != nullptr) store->pass.reset();  // stops the old pass first
  std::shared_ptr<SeriesPass> pass = StartPass(inputs, plan, variant, seed);
  if (store != nullptr) store->pass = pass;
  return pass;
}

IterationValue AwaitValue(SeriesPass& pass, const TableVariant& variant, int32_t iteration) {
  const int32_t slot = SlotOf(pass, variant);
  if (slot < 0 || iteration < 1 || iteration > pass.iterations) {
    ThrowInternalError(FillMessage("no value of iteration {} for this test", iteration));
  }
  const int32_t b = (iteration - 1) / pass.blockSize;
  if (pass.inlineWorker) {
    while (pass.inlineNext <= b) {
      if (!RunBlock(pass, *pass.inlineWorker, pass.inlineNext)) {
        ThrowInternalError("the values were stopped");
      }
      pass.done[Size(pass.inlineNext++)] = 1;
    }
  }
  std::unique_lock<std::mutex> lock(pass.mutex);
  pass.blockDone.wait(lock, [&] { return pass.done[Size(b)] != 0 || pass.fatal; });
  if (pass.fatal) std::rethrow_exception(pass.fatal);
  if (!pass.done[Size(b)]) ThrowInternalError("the values were stopped");
  Series& series = pass.series[Size(slot)];
  const int32_t failedAt = series.failedAt.load(std::memory_order_relaxed);
  if (iteration == failedAt) return IterationValue{Extended(0), series.failure};
  if (iteration > failedAt) {
    ThrowInternalError(FillMessage("iteration {} after the failure of {}", iteration, failedAt));
  }
  return IterationValue{series.values[Size(iteration - 1)], nullptr};
}

void StopSeries(SeriesPass& pass) { pass.JoinWorkers(); }

}  // namespace genosieve
