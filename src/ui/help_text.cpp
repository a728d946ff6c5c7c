#include "help_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

const QString kWindowHeading = QStringLiteral("The window: `genosieve`");

// A Markdown paragraph as plain text: its lines joined, emphasis and code marks dropped.
QString PlainParagraph(const QString& paragraph) {
  QString text = paragraph.simplified();
  text.remove(QLatin1Char('`'));
  text.remove(QLatin1Char('*'));
  return text;
}

}  // namespace

QString ReadmeText() {
  QFile readme(QStringLiteral(":/genosieve/README.md"));
  if (!readme.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(readme.readAll());
}

QString ReadmeSection(const QString& readme, const QString& heading) {
  const QStringList lines = readme.split(QLatin1Char('\n'));
  static const QRegularExpression headingLine(QStringLiteral("^(#+) (.*?)\\s*$"));
  int level = 0;
  QStringList section;
  bool inCode = false;
  for (const QString& line : lines) {
    if (line.startsWith(QStringLiteral("```"))) inCode = !inCode;
    const QRegularExpressionMatch match =
        inCode ? QRegularExpressionMatch() : headingLine.match(line);
    if (match.hasMatch()) {
      const int depth = static_cast<int>(match.captured(1).size());
      if (level > 0 && depth <= level) break;
      if (level == 0 && match.captured(2) == heading) {
        level = depth;
        continue;
      }
    }
    if (level > 0) section.append(line);
  }
  return section.join(QLatin1Char('\n')).trimmed();
}

QString WindowHelp() {
  QString help = ReadmeSection(ReadmeText(), kWindowHeading);
  // The pictures stay in the README's folder; the help shows its words (the section's
  // tables are those of its pictures).
  static const QRegularExpression pictures(QStringLiteral("!\\[[^\\]]*\\]\\([^)]*\\)\\n*"));
  help.remove(pictures);
  static const QRegularExpression tableRows(QStringLiteral("^\\|.*\\n?"),
                                            QRegularExpression::MultilineOption);
  help.remove(tableRows);
  return help.trimmed();
}

QString ManualPath() {
  const QString installed =
      QDir(QCoreApplication::applicationDirPath())
          .absoluteFilePath(QStringLiteral("../" GENOSIEVE_DOCDIR "/README.md"));
  if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
  const QString source = QStringLiteral(GENOSIEVE_SOURCE_README);
  if (QFileInfo::exists(source)) return source;
  return {};
}

QString AboutText() {
  QStringList lines = {
      QStringLiteral("GENOSIEVE V.0.4"),
      QStringLiteral("Finds the clones (repeated multilocus genotypes) of each population and "
                     "tests whether Fis is lower than when the same clone sizes are given at "
                     "random to the distinct genotypes."),
      QStringLiteral("Licence: GPL-3.0-or-later. GENOSIEVE is free software under the GNU "
                     "General Public License, version 3 or any later version, distributed "
                     "WITHOUT ANY WARRANTY; the LICENSE file beside the README holds its text."),
  };
  // How to cite, as the README's own section says it.
  const QStringList citing =
      ReadmeSection(ReadmeText(), QStringLiteral("Citing")).split(QStringLiteral("\n\n"));
  for (qsizetype i = 0; i < citing.size(); ++i) {
    const QString paragraph = PlainParagraph(citing[i]);
    if (paragraph.isEmpty()) continue;
    lines.append(i == 0 ? QStringLiteral("How to cite: %1").arg(paragraph) : paragraph);
  }
  const QString manual = ManualPath();
  lines.append(manual.isEmpty()
                   ? QStringLiteral("Manual: the README (README.md), installed with the program "
                                    "under share/doc/genosieve; F1 shows its section on this "
                                    "window.")
                   : QStringLiteral("Manual: %1; F1 shows its section on this window.")
                         .arg(QDir::toNativeSeparators(manual)));
  return lines.join(QLatin1Char('\r'));
}
