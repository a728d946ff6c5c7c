#pragma once

// What the window's tests share: finding the controls by name and recording the boxes
// and dialogs a window would show instead of showing them.

#include <QChartView>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

#include "support/test_files.h"
#include "unit1.h"

namespace genosieve::testing {

// The window's remembered settings go to `folder` under the tests' own names, never to
// the user's.
inline void KeepSettingsIn(const QString& application, const QString& folder) {
  QCoreApplication::setOrganizationName(QStringLiteral("genosieve-tests"));
  QCoreApplication::setApplicationName(application);
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

// A caption as the user reads it: without the mark of its mnemonic.
inline QString Caption(const QString& text) { return QString(text).remove(QLatin1Char('&')); }

template <typename T>
T* Control(QWidget& form, const char* name) {
  T* control = form.findChild<T*>(QString::fromLatin1(name));
  if (control == nullptr) qFatal("missing control %s", name);
  return control;
}

struct Boxes {
  QStringList messages;
  QStringList errors;
  QStringList abouts;
  int stopQuestions = 0;
  bool stopAnswer = false;
  QStringList openedFolders;
  QStringList openedFiles;
  // Every question asked, and the answer to all of them.
  QStringList questions;
  bool questionAnswer = true;
  // What the folder dialog answers, in order; a dialog beyond them is cancelled.
  QStringList chosenFolders;
  QStringList folderStarts;
  QStringList helps;
  // The layout questions asked (question, then its choices) and the answer to each.
  QList<QStringList> readingQuestions;
  std::optional<int> readingAnswer;
  // What the save dialog answers, in order; a dialog beyond them is a failure.
  QStringList savePaths;
  QStringList saveSuggestions;

  void Attach(TForm1& form) {
    form.showMessage = [this](const QString& text) { messages.append(text); };
    form.showError = [this](const QString& text) { errors.append(text); };
    form.showAbout = [this](const QString& text) { abouts.append(text); };
    form.chooseFile = [](QFileDialog&) -> std::optional<QString> {
      qFatal("unexpected file dialog");
      return std::nullopt;
    };
    form.askStopAndQuit = [this] {
      ++stopQuestions;
      return stopAnswer;
    };
    form.chooseSaveFile = [this](const QString&, const QString&,
                                 const QString& suggested) -> std::optional<QString> {
      saveSuggestions.append(suggested);
      if (savePaths.isEmpty()) qFatal("unexpected save dialog");
      return savePaths.takeFirst();
    };
    form.openFolder = [this](const QString& folder) { openedFolders.append(folder); };
    form.openFile = [this](const QString& file) { openedFiles.append(file); };
    form.askQuestion = [this](const QString& text) {
      questions.append(text);
      return questionAnswer;
    };
    form.chooseFolder = [this](const QString& start) -> std::optional<QString> {
      folderStarts.append(start);
      if (chosenFolders.isEmpty()) return std::nullopt;
      return chosenFolders.takeFirst();
    };
    form.showHelp = [this](const QString& markdown) { helps.append(markdown); };
    form.chooseReading = [this](const QString& question, const QStringList& choices) {
      readingQuestions.append(QStringList{question} + choices);
      return readingAnswer;
    };
  }
};

inline QString Native(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// A window set for a Run on a copy of an example in the current folder (once: a second
// window on the same example uses the copy).
struct RunWindow {
  TForm1 form;
  Boxes boxes;
  std::filesystem::path data;

  explicit RunWindow(const std::string& example = "zostera.txt", const char* iterations = "30") {
    boxes.Attach(form);
    data = std::filesystem::current_path() / example;
    if (!std::filesystem::exists(data)) std::filesystem::copy_file(ExamplePath(example), data);
    Control<QLineEdit>(form, "Edit1")->setText(Native(data));
    Control<QLineEdit>(form, "Edit2")->setText(QString::fromLatin1(iterations));
    form.runSeed = 11;
  }

  QString Status() { return Control<QLabel>(form, "StatusLine")->text(); }
  QStandardItemModel* Results() {
    return qobject_cast<QStandardItemModel*>(Control<QTableView>(form, "ResultsTable")->model());
  }
};

}  // namespace genosieve::testing
