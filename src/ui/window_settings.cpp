#include "window_settings.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kDataFolderKey = QStringLiteral("data/folder");
const QString kIterationsKey = QStringLiteral("run/iterations");
const QString kResultNameKey = QStringLiteral("run/resultName");
const QString kPValueFilesKey = QStringLiteral("run/pValueFiles");
const QString kPerLocusKey = QStringLiteral("run/perLocus");
const QString kPerPopulationKey = QStringLiteral("run/perPopulation");
const QString kFisValuesKey = QStringLiteral("run/fisValues");
// Pairs of results file and data file.
const QString kRunOriginsKey = QStringLiteral("run/origins");

}  // namespace

std::optional<uint32_t> SeedOfText(const QString& text) {
  bool valid = false;
  const qulonglong seed = text.trimmed().toULongLong(&valid);
  if (!valid || seed > 4294967295ULL) return std::nullopt;
  return static_cast<uint32_t>(seed);
}

RememberedSettings ReadRememberedSettings(const RememberedSettings& defaults) {
  const QSettings saved;
  RememberedSettings settings;
  settings.geometry = saved.value(kGeometryKey, defaults.geometry).toByteArray();
  settings.dataFolder = saved.value(kDataFolderKey, defaults.dataFolder).toString();
  settings.iterations = saved.value(kIterationsKey, defaults.iterations).toString();
  settings.resultName = saved.value(kResultNameKey, defaults.resultName).toString();
  settings.pValueFiles = saved.value(kPValueFilesKey, defaults.pValueFiles).toBool();
  settings.perLocus = saved.value(kPerLocusKey, defaults.perLocus).toBool();
  settings.perPopulation = saved.value(kPerPopulationKey, defaults.perPopulation).toBool();
  settings.fisValues = saved.value(kFisValuesKey, defaults.fisValues).toBool();
  settings.runOrigins = defaults.runOrigins;
  const QStringList pairs = saved.value(kRunOriginsKey).toStringList();
  for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
    settings.runOrigins.insert(pairs[i], pairs[i + 1]);
  return settings;
}

void WriteRememberedSettings(const RememberedSettings& settings) {
  QSettings saved;
  saved.setValue(kGeometryKey, settings.geometry);
  saved.setValue(kDataFolderKey, settings.dataFolder);
  saved.setValue(kIterationsKey, settings.iterations);
  saved.setValue(kResultNameKey, settings.resultName);
  saved.setValue(kPValueFilesKey, settings.pValueFiles);
  saved.setValue(kPerLocusKey, settings.perLocus);
  saved.setValue(kPerPopulationKey, settings.perPopulation);
  saved.setValue(kFisValuesKey, settings.fisValues);
  // A bound on the settings file rather than a history: the last ones in the map's order stay.
  QStringList pairs;
  qsizetype skip = settings.runOrigins.size() - kRememberedOrigins;
  for (auto origin = settings.runOrigins.cbegin(); origin != settings.runOrigins.cend(); ++origin) {
    if (skip-- > 0) continue;
    pairs << origin.key() << origin.value();
  }
  saved.setValue(kRunOriginsKey, pairs);
}
