#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>

#include "unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("GENOSIEVE"));
  QApplication::setApplicationName(QStringLiteral("GENOSIEVE"));
  QApplication::setApplicationVersion(QStringLiteral("0.4"));
  // Lets the desktop match the window with the installed genosieve.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("genosieve"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "GENOSIEVE: finds the clones of each population in a genotype data file and tests "
      "whether Fis is lower than when clone sizes are given at random to distinct genotypes."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("DATAFILE"),
      QStringLiteral("Data file to open; its folder becomes the working folder."),
      QStringLiteral("[DATAFILE]"));
  const QCommandLineOption directory(
      QStringList{QStringLiteral("C"), QStringLiteral("directory")},
      QStringLiteral("Working folder where the Run writes its files (default: the current "
                     "folder, or the data file's folder when started from the home folder)."),
      QStringLiteral("DIR"));
  const QCommandLineOption besideData(
      QStringLiteral("beside-data"),
      QStringLiteral("The Run writes its files into the data file's folder, chosen or typed, "
                     "whatever the current folder (the desktop entry starts the window so)."));
  parser.addOption(directory);
  parser.addOption(besideData);
  parser.process(app);

  TForm1 form1;
  form1.RestoreSettings();
  const QStringList arguments = parser.positionalArguments();
  if (!arguments.isEmpty()) {
    form1.ChooseDataFile(QDir::current().absoluteFilePath(arguments.constFirst()));
  }
  if (parser.isSet(directory)) {
    form1.SetWorkingFolder(QDir::current().absoluteFilePath(parser.value(directory)));
  } else if (parser.isSet(besideData) || (arguments.isEmpty() && QDir::current() == QDir::home())) {
    // Started from the desktop's menu, whose current folder may be any (most often the
    // home folder): no place for a Run's files, which go next to the data instead.
    form1.SetWorkingFolderBesideData();
  }
  QApplication::setWindowIcon(form1.windowIcon());
  // A geometry remembered on a larger screen, or a small screen at a large scale, must
  // not put the window's edges out of reach.
  QScreen* screen = QGuiApplication::screenAt(form1.geometry().center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) form1.FitToScreen(screen->availableGeometry());
  form1.show();
  return QApplication::exec();
}
