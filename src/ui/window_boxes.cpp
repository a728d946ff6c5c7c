#include "window_boxes.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace {

const QString kBoxCaption = QStringLiteral("GENOSIEVE");

}  // namespace

void ShowTextBox(QWidget* parent, const QString& text, bool error) {
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, kBoxCaption, text,
                  QMessageBox::Ok, parent);
  box.exec();
}

void ShowAboutBox(QWidget* parent, const QString& text) {
  // A label would draw a lone CR as a blank: break the lines explicitly.
  QString lines = text;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::NoIcon, kBoxCaption, lines, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::optional<QString> ExecFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.constFirst();
}

std::optional<QString> AskSaveFile(QWidget* parent, const QString& caption, const QString& filters,
                                   const QString& suggested) {
  const QString path = QFileDialog::getSaveFileName(parent, caption, suggested, filters);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

bool AskStopAndQuit(QWidget* parent) {
  return QMessageBox::question(parent, kBoxCaption, QStringLiteral("Stop the Run and quit?"),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void OpenInFileManager(const QString& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
