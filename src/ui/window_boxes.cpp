#include "window_boxes.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kBoxCaption = QStringLiteral("GENOSIEVE");

// A box as narrow as "done ! " is narrower than its title, which the desktop then cuts
// to "…": a spacer across its grid keeps it wide enough for the title and the frame's
// buttons.
void KeepTitleWhole(QMessageBox& box, int least = 280) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const int width =
      std::max(least, QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 160);
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void ShowTextBox(QWidget* parent, const QString& text, bool error) {
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, kBoxCaption, text,
                  QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  if (error && text.contains(QLatin1Char('\n'))) {
    box.setText(text.section(QLatin1Char('\n'), 0, 0));
    box.setInformativeText(text.section(QLatin1Char('\n'), 1));
  }
  // An error's lines (a path, a reason, what to do) read better wide than folded.
  KeepTitleWhole(box, error ? 480 : 280);
  box.exec();
}

void ShowAboutBox(QWidget* parent, const QString& text) {
  // A label would draw a lone CR as a blank: break the lines explicitly, a paragraph each.
  QString lines = text;
  lines.replace(QLatin1Char('\r'), QStringLiteral("\n\n"));
  QMessageBox box(QMessageBox::NoIcon, kBoxCaption, lines, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  KeepTitleWhole(box);
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

bool AskQuestion(QWidget* parent, const QString& text, QPointer<QMessageBox>* shown) {
  QMessageBox box(QMessageBox::Question, kBoxCaption, text, QMessageBox::Yes | QMessageBox::No,
                  parent);
  box.setDefaultButton(QMessageBox::No);
  box.setTextFormat(Qt::PlainText);
  KeepTitleWhole(box);
  if (shown != nullptr) *shown = &box;
  const int answer = box.exec();
  if (shown != nullptr) *shown = nullptr;
  return answer == QMessageBox::Yes;
}

std::optional<int> ChooseOne(QWidget* parent, const QString& question, const QStringList& choices) {
  QDialog dialog(parent);
  dialog.setWindowTitle(kBoxCaption);
  auto* text = new QLabel(question, &dialog);
  text->setWordWrap(true);
  text->setTextFormat(Qt::PlainText);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  auto* group = new QButtonGroup(&dialog);
  for (qsizetype i = 0; i < choices.size(); ++i) {
    auto* choice = new QRadioButton(choices[i], &dialog);
    choice->setChecked(i == 0);
    group->addButton(choice, static_cast<int>(i));
    layout->addWidget(choice);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Run with this reading"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(420);
  if (dialog.exec() != QDialog::Accepted || group->checkedId() < 0) return std::nullopt;
  return group->checkedId();
}

std::optional<QString> ChooseFolder(QWidget* parent, const QString& caption, const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(parent, caption, start);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

void OpenInDesktop(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void ShowHelpWindow(QWidget* parent, const QString& title, const QString& markdown) {
  auto* help = parent->findChild<QDialog*>(QStringLiteral("HelpWindow"));
  if (help == nullptr) {
    help = new QDialog(parent);
    help->setObjectName(QStringLiteral("HelpWindow"));
    help->setWindowTitle(title);
    auto* text = new QTextBrowser(help);
    text->setObjectName(QStringLiteral("HelpText"));
    text->setOpenExternalLinks(true);
    text->setMarkdown(markdown);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, help);
    QObject::connect(buttons, &QDialogButtonBox::rejected, help, &QDialog::hide);
    auto* layout = new QVBoxLayout(help);
    layout->addWidget(text);
    layout->addWidget(buttons);
    help->resize(640, 560);
  }
  help->show();
  help->raise();
  help->activateWindow();
}
