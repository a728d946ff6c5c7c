#pragma once

// What the window remembers between program starts (QSettings, in the application's
// scope): its geometry, the last data folder, the Run's settings and which data file
// made the Run files the window wrote where (so that a later start still warns before
// another data file's Run replaces them). The seed is not among them: a remembered seed
// would repeat every later Run without the user asking, nor is the data path, so that a
// new start never runs an old file by surprise.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "working_folder_choice.h"

struct RememberedSettings {
  QByteArray geometry;  // empty when none was saved
  QString dataFolder;
  QString iterations = QStringLiteral("1000");
  QString resultName = QStringLiteral("results.txt");
  bool pValueFiles = false;
  bool perLocus = false;
  bool perPopulation = false;
  bool fisValues = false;
  RunOrigins runOrigins;
};

// The origins kept at most: the most recent are kept.
inline constexpr int kRememberedOrigins = 200;

// The seed a text gives: an integer from 0 to 4294967295, blanks around it allowed.
std::optional<uint32_t> SeedOfText(const QString& text);

// The saved settings; those never saved keep the values of `defaults`.
RememberedSettings ReadRememberedSettings(const RememberedSettings& defaults);

void WriteRememberedSettings(const RememberedSettings& settings);
