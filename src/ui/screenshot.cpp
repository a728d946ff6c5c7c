// Opens the window, makes one Run on a data file and saves a picture of the window
// after it, for the documentation. Meant to run under xvfb-run (scripts/screenshot).

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Saves a PNG picture of the GENOSIEVE window after a Run."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("data"), QStringLiteral("Genotype data file."));
  parser.addPositionalArgument(QStringLiteral("png"), QStringLiteral("Picture to write."));
  const QCommandLineOption iterations(QStringList{"n", "iterations"},
                                      QStringLiteral("Number of iterations (default 1000)."),
                                      QStringLiteral("N"), QStringLiteral("1000"));
  const QCommandLineOption seed(QStringList{"s", "seed"},
                                QStringLiteral("Seed of the random generators (default 1)."),
                                QStringLiteral("SEED"), QStringLiteral("1"));
  const QCommandLineOption perLocus(QStringLiteral("per-locus"),
                                    QStringLiteral("Ticks \"per locus analysis\"."));
  const QCommandLineOption perPopulation(QStringLiteral("per-pop"),
                                         QStringLiteral("Ticks \"per pop analysis\"."));
  const QCommandLineOption tab(QStringLiteral("tab"),
                               QStringLiteral("The tab of the results to show (Tests, Loci, "
                                              "Populations, Clones)."),
                               QStringLiteral("TAB"));
  parser.addOption(iterations);
  parser.addOption(seed);
  parser.addOption(tab);
  parser.addOption(perLocus);
  parser.addOption(perPopulation);
  parser.process(app);
  const QStringList arguments = parser.positionalArguments();
  if (arguments.size() != 2) parser.showHelp(2);
  // As given: a relative path is read from the working folder, like a typed one.
  const QString dataPath = arguments[0];
  const QString picturePath = QDir::current().absoluteFilePath(arguments[1]);

  TForm1 form1;
  int status = 0;
  form1.showMessage = [](const QString&) {};
  form1.showError = [&status](const QString& text) {
    std::fprintf(stderr, "genosieve-screenshot: %s\n", text.toLocal8Bit().constData());
    status = 1;
  };
  form1.chooseFile = [&dataPath](QFileDialog&) -> std::optional<QString> { return dataPath; };
  // The files of an earlier picture's Run are replaced without a word.
  form1.askQuestion = [](const QString&) { return true; };
  form1.runSeed = parser.value(seed).toUInt();
  form1.findChild<QLineEdit*>(QStringLiteral("Edit2"))->setText(parser.value(iterations));
  form1.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(parser.isSet(perLocus));
  form1.findChild<QCheckBox*>(QStringLiteral("CheckBox3"))->setChecked(parser.isSet(perPopulation));
  form1.show();

  QTimer::singleShot(500, &form1, [&] {
    form1.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    form1.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    // Lets the chart draw its curve before the picture is taken.
    if (parser.isSet(tab)) {
      auto* tabs = form1.findChild<QTabWidget*>(QStringLiteral("ResultsTabs"));
      for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == parser.value(tab)) tabs->setCurrentIndex(i);
      }
    }
    QTimer::singleShot(1000, &form1, [&] {
      // Drawn by the widgets themselves: a grab of the screen misses what the window
      // gained when its results panel opened, until the server repaints it.
      const QPixmap picture = form1.grab();
      if (!picture.save(picturePath, "PNG")) {
        std::fprintf(stderr, "genosieve-screenshot: cannot write %s\n",
                     picturePath.toLocal8Bit().constData());
        status = 1;
      }
      QApplication::exit(status);
    });
  });
  return QApplication::exec();
}
