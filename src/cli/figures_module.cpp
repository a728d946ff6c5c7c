// genosieve-cli-figures.so: the figures of a command-line Run, drawn with Qt.

#include "figures_module.h"

#include <QApplication>
#include <QtGlobal>
#include <iostream>
#include <memory>
#include <utility>

#include "run_figures.h"

struct genosieve::FiguresSession {
  // QApplication keeps references to its arguments for its whole life.
  int argc = 1;
  char name[sizeof "genosieve-cli"] = "genosieve-cli";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> application;
  RunFigureData figures;
};

namespace genosieve {
namespace {

// Qt's own notices (fonts, platform) are not the user's business; its errors still show.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::cerr << "genosieve-cli: " << text.toStdString() << '\n';
  }
}

FiguresSession* Start() {
  auto session = std::make_unique<FiguresSession>();
  // Off screen, whatever display there is.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQtMessages);
  session->application = std::make_unique<QApplication>(session->argc, session->argv);
  return session.release();
}

void Add(FiguresSession& session, const TestOutcome& outcome) {
  AddToFigures(session.figures, outcome);
}

std::vector<ViewFile> Files(FiguresSession& session, const std::string& resultName,
                            const std::function<bool()>& stopRequested) {
  std::vector<ViewFile> files;
  for (FigureFile& figure : RunFigureFiles(session.figures, resultName, stopRequested)) {
    files.push_back({std::move(figure.name), figure.bytes.toStdString()});
  }
  return files;
}

void AddClonality(FiguresSession& session, const ClonalityResults& results) {
  AddClonalityToFigures(session.figures, results);
}

void End(FiguresSession* session) { delete session; }

constexpr FiguresModule kModule = {
    .version = kFiguresModuleVersion,
    .programVersion = GENOSIEVE_VERSION,
    .start = Start,
    .add = Add,
    .files = Files,
    .end = End,
    .addClonality = AddClonality,
};

}  // namespace
}  // namespace genosieve

extern "C" __attribute__((visibility("default"))) const genosieve::FiguresModule*
genosieve_cli_figures() {
  return &genosieve::kModule;
}
