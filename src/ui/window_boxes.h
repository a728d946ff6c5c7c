#pragma once

// The modal boxes and dialogs the window shows, as the window's hooks use them by
// default (a test or a script replaces the hooks where no one is there to answer).

#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QMessageBox;
class QWidget;

// A box with the text and an OK button; `error` shows it as an error, its first line as
// the headline and the others under it. The box is wide enough for its whole title.
void ShowTextBox(QWidget* parent, const QString& text, bool error);

// The About box: lines separated by CR alone.
void ShowAboutBox(QWidget* parent, const QString& text);

// Shows the file dialog; the chosen file, or nothing when the user cancelled.
std::optional<QString> ExecFileDialog(QFileDialog& dialog);

// The save dialog (caption, filters, suggested path); nothing when cancelled.
std::optional<QString> AskSaveFile(QWidget* parent, const QString& caption, const QString& filters,
                                   const QString& suggested);

// A question with Yes and No (No by default); true for Yes. While it is shown, `shown`
// points to it, so that the window can close it (as No) when what it asks about is over.
bool AskQuestion(QWidget* parent, const QString& text, QPointer<QMessageBox>* shown = nullptr);

// One of the choices, with the question above them; its index, or nothing when cancelled.
std::optional<int> ChooseOne(QWidget* parent, const QString& question, const QStringList& choices);

// The folder dialog, starting in `start`; nothing when cancelled.
std::optional<QString> ChooseFolder(QWidget* parent, const QString& caption, const QString& start);

// The folder in the desktop's file manager, or a file in the program the desktop opens
// it with.
void OpenInDesktop(const QString& path);

// A window of help showing the Markdown text; it stays open beside the main window.
void ShowHelpWindow(QWidget* parent, const QString& title, const QString& markdown);
