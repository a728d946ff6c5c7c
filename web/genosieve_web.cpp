// The page's binding to the core: a Run of the module's in-memory file system, whose
// view posts what the window would show (progress, chart, results, notices) to the
// page's script as messages. No analysis here: everything comes from the core's Run.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/run.h"
#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "analysis/test_outcome.h"
#include "data/data_format.h"
#include "data/data_import.h"
#include "errors.h"
#include "messages.h"
#include "reports/double_text.h"
#include "reports/number_format.h"

// The page's script receives each message as an object (web/run_worker.js).
EM_JS(void, PostJson, (const char* json),
      { Module.onViewMessage(JSON.parse(UTF8ToString(json))); });
EM_JS(void, PostValues, (const char* json, const double* values, int count), {
  const message = JSON.parse(UTF8ToString(json));
  message.values = HEAPF64.slice(values >> 3, (values >> 3) + count);
  Module.onViewMessage(message);
});

namespace {

using genosieve::RandomizationKind;

std::string Quoted(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      json += "\\u00";
      json += kHex[byte >> 4];
      json += kHex[byte & 15];
    } else {
      json += c;
    }
  }
  return json + '"';
}

// A JSON object built field by field.
struct Json {
  std::string text = "{";
  Json& Field(std::string_view name, const std::string& json) {
    if (text.size() > 1) text += ',';
    text += Quoted(name) + ':' + json;
    return *this;
  }
  Json& Text(std::string_view name, std::string_view value) { return Field(name, Quoted(value)); }
  Json& Number(std::string_view name, int64_t value) { return Field(name, std::to_string(value)); }
  // A double as a number and, under name + "Text", as the window's tables write it.
  Json& Real(std::string_view name, double value) {
    const std::string text = genosieve::ShortestDoubleText(value);
    Field(name, text);
    return Text(std::string(name) + "Text", text);
  }
  std::string Done() const { return text + '}'; }
};

void Post(const Json& json) { PostJson(json.Done().c_str()); }

struct PageView : genosieve::RunView {
  int maximum = 0;
  int lastPosted = -1;
  double lastPostTime = 0;

  void RunPlanned(int32_t tests, int32_t iterations) override {
    Post(Json().Text("type", "planned").Number("tests", tests).Number("iterations", iterations));
  }
  void TestStarted(RandomizationKind kind, int32_t index, int32_t count,
                   const std::string& name) override {
    Post(Json()
             .Text("type", "test")
             .Text("kind", genosieve::KindName(kind))
             .Number("index", index)
             .Number("count", count)
             .Text("name", name));
  }
  void SeedChosen(uint32_t seed) override {
    Post(Json().Text("type", "seed").Number("seed", seed));
  }
  void SetProgressRange(int, int max) override {
    maximum = max;
    lastPosted = -1;
    PostPosition(0);
  }
  // At most ten progress messages a second, and always the last position.
  void SetProgressPosition(int position) override {
    const double now = emscripten_get_now();
    if (position < maximum - 1 && now - lastPostTime < 100) return;
    PostPosition(position);
  }
  void PostPosition(int position) {
    if (position == lastPosted) return;
    lastPosted = position;
    lastPostTime = emscripten_get_now();
    Post(Json().Text("type", "progress").Number("position", position).Number("maximum", maximum));
  }
  void ClearChart() override { Post(Json().Text("type", "clearChart")); }
  void AddChartPoint(double value) override { AddChartPoints({value}); }
  void AddChartPoints(const std::vector<double>& values) override {
    PostValues(Json().Text("type", "chartPoints").Done().c_str(), values.data(),
               static_cast<int>(values.size()));
  }
  void ShowChartSeries() override {}
  // The overall test's running P-value as it goes (the page draws it live).
  void RunningPValues(RandomizationKind kind, int32_t index,
                      const std::vector<genosieve::RunningPValuePoint>& points) override {
    std::string list = "[";
    for (const genosieve::RunningPValuePoint& point : points) {
      if (list.size() > 1) list += ',';
      list += Json()
                  .Number("iteration", point.iteration)
                  .Field("pValue", genosieve::ShortestDoubleText(point.pValue))
                  .Done();
    }
    Post(Json()
             .Text("type", "runningPValues")
             .Text("kind", genosieve::KindName(kind))
             .Number("index", index)
             .Field("points", list + "]"));
  }
  void ShowMessage(const std::string& text) override {
    Post(Json().Text("type", "message").Text("text", text));
  }
  void ShowNotice(const std::string& text) override {
    Post(Json().Text("type", "notice").Text("text", text));
  }
  void TestFinished(const genosieve::TestOutcome& outcome) override {
    Json json;
    json.Text("type", "outcome")
        .Text("kind", genosieve::KindName(outcome.kind))
        .Number("index", outcome.index)
        .Text("name", outcome.name)
        .Number("individuals", outcome.individuals)
        .Number("distinct", outcome.distinctGenotypes)
        .Real("observed", static_cast<double>(outcome.observed))
        .Real("expected", static_cast<double>(outcome.expected))
        .Real("pLower", static_cast<double>(outcome.pLower))
        .Real("pUpper", static_cast<double>(outcome.pUpper))
        .Number("iterations", outcome.iterations)
        .Number("seed", outcome.seed);
    // The overall test's histogram needs its values; the others' are in the files.
    std::vector<double> values;
    if (outcome.kind == RandomizationKind::kOverall) {
      values.reserve(outcome.randomizedFis.size());
      for (const genosieve::Extended value : outcome.randomizedFis) {
        values.push_back(static_cast<double>(value));
      }
    }
    PostValues(json.Done().c_str(), values.data(), static_cast<int>(values.size()));
  }
};

void PostError(const std::string& text) { Post(Json().Text("type", "error").Text("text", text)); }

// The message of a failure, as genosieve-cli prints it after its name.
template <typename Action>
int Guarded(Action action) {
  try {
    action();
    return 0;
  } catch (const genosieve::RunStopped& stop) {
    PostError(stop.what());
    return 130;
  } catch (const genosieve::RunError& error) {
    PostError(error.what());
  } catch (const std::bad_alloc&) {
    PostError(genosieve::kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    PostError(error.what());
  }
  return 1;
}

genosieve::DataFormat FormatOf(const char* name) {
  return genosieve::FormatFromName(name).value_or(genosieve::DataFormat::kAuto);
}

}  // namespace

extern "C" {

// The text a stopped Run ends with, for a Run the page stops by ending its worker.
EMSCRIPTEN_KEEPALIVE const char* genosieve_stop_message() {
  static const std::string text(genosieve::messages::kRunInterrupted);
  return text.c_str();
}

// Reads the data file (relative to the current folder) as the Run would and posts what
// was read: the layout and header numbers, then the reader's notices, or its error.
// Returns 0 when the file reads, 1 otherwise.
EMSCRIPTEN_KEEPALIVE int genosieve_inspect(const char* dataPath, const char* formatName) {
  return Guarded([&] {
    std::vector<std::string> notices;
    const genosieve::DataFile data = genosieve::ImportDataFile(
        dataPath, FormatOf(formatName), [&](const std::string& text) { notices.push_back(text); });
    Post(Json()
             .Text("type", "layout")
             .Text("format", genosieve::FormatName(data.format))
             .Text("title", genosieve::FormatTitle(data.format))
             .Number("populations", data.header.populations)
             .Number("loci", data.header.loci)
             .Number("individuals", data.table.rows())
             .Number("highestAllele", data.header.highestAllele)
             .Number("digits", data.header.codeWidth));
    for (const std::string& notice : notices) {
      Post(Json().Text("type", "notice").Text("text", notice));
    }
  });
}

// One Run in the current folder, as genosieve-cli DATAFILE with these options would
// make it: 0 when it ends with "done ! ", 1 when it fails, 130 when it was stopped.
// `seedText` is empty for the clock's seed.
EMSCRIPTEN_KEEPALIVE int genosieve_run(const char* dataPath, const char* formatName,
                                       const char* iterationsText, const char* resultName,
                                       int perLocus, int perPopulation, int pValueFiles,
                                       int fisValues, const char* seedText,
                                       const char* regionalSeparator) {
  genosieve::RunSettings settings;
  settings.dataPath = dataPath;
  settings.format = FormatOf(formatName);
  settings.iterationsText = iterationsText;
  settings.resultName = resultName;
  settings.perLocusAnalysis = perLocus != 0;
  settings.perPopulationAnalysis = perPopulation != 0;
  settings.createPValueFiles = pValueFiles != 0;
  settings.writeFisValues = fisValues != 0;
  settings.threads = 1;
  const std::string seed = seedText;
  if (!seed.empty()) {
    if (seed.size() > 10 || seed.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(seed) > 4294967295ULL) {
      PostError("--seed: the seed must be an integer from 0 to 4294967295, not '" + seed + "'");
      return 2;
    }
    settings.seed = static_cast<uint32_t>(std::stoull(seed));
  }
  PageView view;
  const genosieve::DecimalSeparatorChoice separator =
      genosieve::ChooseDecimalSeparator(regionalSeparator);
  settings.decimalSeparator = separator.separator;
  if (!separator.notice.empty()) view.ShowNotice(separator.notice);
  return Guarded([&] { genosieve::Run(settings, view); });
}

}  // extern "C"
