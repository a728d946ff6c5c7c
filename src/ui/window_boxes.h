#pragma once

// The modal boxes and dialogs the window shows, as the window's hooks use them by
// default (a test or a script replaces the hooks where no one is there to answer).

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

// A box with the text and an OK button; `error` shows it as an error.
void ShowTextBox(QWidget* parent, const QString& text, bool error);

// The About box: lines separated by CR alone.
void ShowAboutBox(QWidget* parent, const QString& text);

// Shows the file dialog; the chosen file, or nothing when the user cancelled.
std::optional<QString> ExecFileDialog(QFileDialog& dialog);

// The save dialog (caption, filters, suggested path); nothing when cancelled.
std::optional<QString> AskSaveFile(QWidget* parent, const QString& caption, const QString& filters,
                                   const QString& suggested);

// "Stop the Run and quit?"; true for Yes.
bool AskStopAndQuit(QWidget* parent);

// The folder in the desktop's file manager.
void OpenInFileManager(const QString& folder);
