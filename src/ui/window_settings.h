#pragma once

// What the window remembers between program starts (QSettings, in the application's
// scope): its geometry, the last data folder and the Run's settings. The seed is not
// among them: a remembered seed would repeat every later Run without the user asking,
// nor is the data path, so that a new start never runs an old file by surprise.

#include <QByteArray>
#include <QString>

struct RememberedSettings {
  QByteArray geometry;  // empty when none was saved
  QString dataFolder;
  QString iterations = QStringLiteral("1000");
  QString resultName = QStringLiteral("results.txt");
  bool pValueFiles = false;
  bool perLocus = false;
  bool perPopulation = false;
  bool fisValues = false;
};

// The saved settings; those never saved keep the values of `defaults`.
RememberedSettings ReadRememberedSettings(const RememberedSettings& defaults);

void WriteRememberedSettings(const RememberedSettings& settings);
