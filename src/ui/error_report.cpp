#include "error_report.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <new>

#include "errors.h"
#include "messages.h"

namespace {

using genosieve::IoErrorMessage;

QString Io(int code) { return QString::fromStdString(IoErrorMessage(code)); }

bool Is(const QString& message, int code) { return message == Io(code); }

const QString kChooseData = QStringLiteral("choose the file with Data file: (Ctrl+O)");
const QString kOtherFolder = QStringLiteral("choose another folder with Working folder\u2026");

QString FullPath(const std::string& file) {
  const QString path = QFile::decodeName(QByteArray::fromStdString(file));
  // Relative to the current folder, as the Run reached it.
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A file the Run could not read or write: the reason is what the Run was doing with it,
// then the system's text.
ErrorReport FileReport(const genosieve::RunError& error, const QString& dataPath) {
  const QString message = QString::fromStdString(error.what());
  const std::string& file = *error.file;
  const QString doing = QString::fromStdString(error.doing);
  ErrorReport report;
  report.reason = doing.isEmpty() ? message : QStringLiteral("%1: %2").arg(doing, message);
  report.line = QString::fromStdString(genosieve::MessageNamingFile(error));
  if (file.empty()) {
    report.what = QStringLiteral("No data file was chosen.");
    report.next = QStringLiteral(
        "Choose the data file with Data file: (Ctrl+O), or drop it on "
        "the window.");
    return report;
  }
  const QString path = FullPath(file);
  report.where = QStringLiteral("File: %1").arg(path);
  // The role says which file it is; an error that gives none is told by its path.
  const bool isData = error.fileRole.empty()
                          ? !dataPath.isEmpty() && QFileInfo(dataPath).absoluteFilePath() ==
                                                       QFileInfo(path).absoluteFilePath()
                          : error.fileRole == genosieve::messages::kDataFileRole;
  if (isData) {
    report.what = QStringLiteral("The data file could not be read.");
    if (Is(message, genosieve::kIoFileNotFound)) {
      report.next = QStringLiteral("Check the path, or %1.").arg(kChooseData);
    } else if (Is(message, genosieve::kIoAccessDenied)) {
      report.next = QStringLiteral(
                        "Check that you may read the file, or copy it into a folder of "
                        "yours and %1.")
                        .arg(kChooseData);
    } else {
      report.next = QStringLiteral(
          "Check that the file is complete and in one of the layouts the "
          "README describes, then run again.");
    }
    return report;
  }
  report.what = QStringLiteral("A file in the working folder could not be written.");
  if (doing.startsWith(QStringLiteral("it is a folder"))) {
    report.next = QStringLiteral("Move or rename that folder, or choose another result name or %1.")
                      .arg(kOtherFolder.section(QLatin1Char(' '), 1));
  } else if (doing.startsWith(QStringLiteral("its name is taken by"))) {
    report.next = QStringLiteral(
                      "Remove what holds the file's name if it is yours, or choose another "
                      "result name, or %1.")
                      .arg(kOtherFolder);
  } else if (Is(message, genosieve::kIoAccessDenied)) {
    report.next = QStringLiteral(
                      "Make sure you may write in the working folder and that no named "
                      "pipe, device or socket holds the file's name, or %1.")
                      .arg(kOtherFolder);
  } else if (Is(message, genosieve::kIoDiskFull)) {
    report.next =
        QStringLiteral("Free some space on the disk, or %1, then run again.").arg(kOtherFolder);
  } else if (Is(message, genosieve::kIoBadFileName)) {
    report.next = QStringLiteral(
        "Choose a shorter result name, or a working folder with a shorter "
        "path.");
  } else if (Is(message, genosieve::kIoTooManyOpenFiles)) {
    report.next = QStringLiteral("Close other programs, then run again.");
  } else {
    report.next =
        QStringLiteral("Check the working folder, or %1, then run again.").arg(kOtherFolder);
  }
  return report;
}

// An error that names no file of its own: its message says where, if anywhere.
ErrorReport MessageReport(const QString& message) {
  ErrorReport report;
  const QString first = message.section(QLatin1Char('\n'), 0, 0);
  report.reason = message;
  if (first.startsWith(QStringLiteral("Data file \""))) {
    report.what = QStringLiteral("The data file could not be read.");
    report.next = QStringLiteral(
        "Correct the file at the place the reason names (the README's "
        "Input formats describe each layout), then run again.");
  } else if (first.startsWith(QStringLiteral("Folder \"")) &&
             first.contains(QStringLiteral("not enough free disk space"))) {
    report.what = QStringLiteral("There is not enough free disk space for the Run's files.");
    report.next = QStringLiteral(
                      "Free some space, use fewer iterations, leave out the p-value files or "
                      "the Fis values, or %1.")
                      .arg(kOtherFolder);
  } else if (first.startsWith(QStringLiteral("Output folder \""))) {
    report.what = QStringLiteral("A folder the Run writes into cannot take its files.");
    report.next = first.contains(QStringLiteral("another Run"))
                      ? QStringLiteral("Wait until that Run ends, or choose another result name.")
                      : QStringLiteral("Choose a result name whose folder exists and is yours.");
  } else if (first.startsWith(QStringLiteral("Working folder \""))) {
    report.what = QStringLiteral("The working folder cannot take the Run's files.");
    report.next =
        first.contains(QStringLiteral("another Run"))
            ? QStringLiteral("Wait until that Run ends, or %1.").arg(kOtherFolder)
            : QStringLiteral("Choose an existing folder of yours with Working folder\u2026.");
  } else if (first.startsWith(QStringLiteral("Result name \""))) {
    report.what = QStringLiteral("The result name cannot be used.");
    report.where = QStringLiteral("Field: Name of result file");
    report.next = QStringLiteral("Type another name in Name of result file.");
  } else if (first.startsWith(QStringLiteral("Output file \""))) {
    report.what = QStringLiteral("A file of the Run cannot be written.");
    report.next = QStringLiteral("Choose another result name, or %1.").arg(kOtherFolder);
  } else if (first == QString::fromUtf8(genosieve::kDivisionByZeroMessage) ||
             first == QString::fromUtf8(genosieve::kInvalidOperationMessage) ||
             first == QString::fromUtf8(genosieve::kOverflowMessage)) {
    report.what = QStringLiteral("Fis could not be estimated on these data.");
    report.next = QStringLiteral(
        "Check the data: a locus where every typed population has a single typed individual "
        "divides by zero; data or a locus with no polymorphic allele make an invalid operation. "
        "Leave out such loci, or the analysis that fails, then run again.");
  } else if (first.startsWith(QString::fromUtf8(genosieve::kOutOfMemoryMessage))) {
    report.what = QStringLiteral("There was not enough memory for the Run.");
    report.next = QStringLiteral("Use fewer iterations or close other programs, then run again.");
  } else {
    report.what = QStringLiteral("The Run failed.");
    report.next = QStringLiteral("The README's Messages section explains the reason.");
  }
  return report;
}

}  // namespace

ErrorReport RunErrorReport(const std::exception_ptr& failure, const QString& dataPath) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::InternalError& error) {
    return {QStringLiteral("GENOSIEVE failed: a fault of the program, not of your data."),
            {},
            QString::fromStdString(error.what()),
            QStringLiteral("Please report it with the data file and the settings of the Run."),
            {}};
  } catch (const genosieve::RunError& error) {
    return error.file ? FileReport(error, dataPath)
                      : MessageReport(QString::fromStdString(error.what()));
  } catch (const std::bad_alloc&) {
    return MessageReport(QString::fromUtf8(genosieve::kOutOfMemoryMessage));
  } catch (const std::exception& error) {
    return MessageReport(QString::fromStdString(error.what()));
  } catch (...) {
    return MessageReport(QStringLiteral("unknown error"));
  }
}

ErrorReport FieldErrorReport(const QString& field, const QString& reason, const QString& next) {
  return {QStringLiteral("%1 cannot be used.").arg(field),
          QStringLiteral("Field: %1").arg(field),
          reason,
          next,
          {}};
}

ErrorReport SaveErrorReport(const QString& what, const QString& error) {
  return {QStringLiteral("The %1 could not be saved.").arg(what),
          {},
          error,
          QStringLiteral("Choose another name or folder, then save again."),
          {}};
}

QString MessageMeaning(const QString& message) {
  struct Meaning {
    QString message;
    const char* meaning;
  };
  const Meaning meanings[] = {
      {Io(genosieve::kIoFileNotFound), "the file does not exist"},
      {Io(genosieve::kIoBadFileName), "the file name is not valid"},
      {Io(genosieve::kIoTooManyOpenFiles), "too many files are open"},
      {Io(genosieve::kIoAccessDenied), "access denied"},
      {Io(genosieve::kIoReadPastEnd), "the file ended too early"},
      {Io(genosieve::kIoDiskFull), "the disk is full"},
      {Io(genosieve::kIoBadNumericInput), "a number could not be read"},
      {QString::fromUtf8(genosieve::kDivisionByZeroMessage),
       "division by zero in the Fis estimate"},
      {QString::fromUtf8(genosieve::kInvalidOperationMessage),
       "invalid operation in the Fis estimate"},
      {QString::fromUtf8(genosieve::kOverflowMessage), "overflow in the Fis estimate"},
  };
  for (const Meaning& known : meanings) {
    if (message == known.message) return QString::fromLatin1(known.meaning);
  }
  static const QRegularExpression conversion(
      QStringLiteral("^'(.*)' n'est pas une valeur enti\u00e8re correcte$"),
      QRegularExpression::DotMatchesEverythingOption);
  if (const QRegularExpressionMatch match = conversion.match(message); match.hasMatch()) {
    return QStringLiteral("'%1' is not a whole number").arg(match.captured(1));
  }
  static const QRegularExpression memory(
      QStringLiteral("^M\u00e9moire insuffisante(?: \\((.*)\\))?$"));
  if (const QRegularExpressionMatch match = memory.match(message); match.hasMatch()) {
    // The refusal before a Run explains itself in English already.
    return match.captured(1).isEmpty() || match.captured(1).startsWith(QStringLiteral("the Run "))
               ? QStringLiteral("not enough memory")
               : QStringLiteral("not enough memory for the %1").arg(match.captured(1));
  }
  static const QRegularExpression ioError(QStringLiteral("^Erreur E/S (-?\\d+)$"));
  if (const QRegularExpressionMatch match = ioError.match(message); match.hasMatch()) {
    return QStringLiteral("input/output error %1").arg(match.captured(1));
  }
  return {};
}

QString ErrorBoxText(const ErrorReport& report) {
  QStringList lines = {report.what};
  if (!report.where.isEmpty()) lines.append(report.where);
  // Each line of the reason that is a message of the system's gets its meaning.
  QStringList reason = report.reason.split(QLatin1Char('\n'));
  for (QString& line : reason) {
    // A message of the system's whole (its own parentheses may hold ": "), or a located
    // message that ends with the system's text after its place.
    QString meaning = MessageMeaning(line);
    if (const qsizetype colon = line.lastIndexOf(QStringLiteral(": "));
        meaning.isEmpty() && colon >= 0) {
      meaning = MessageMeaning(line.mid(colon + 2));
    }
    if (!meaning.isEmpty()) line += QStringLiteral(" (%1)").arg(meaning);
  }
  lines.append(QStringLiteral("Reason: %1").arg(reason.join(QLatin1Char('\n'))));
  if (!report.next.isEmpty()) lines.append(QStringLiteral("What to do: %1").arg(report.next));
  return lines.join(QLatin1Char('\n'));
}

QString ErrorLine(const ErrorReport& report) {
  if (!report.line.isEmpty()) return report.line;
  QString what = report.what;
  if (what.endsWith(QLatin1Char('.'))) what.chop(1);
  return QStringLiteral("%1: %2").arg(what, report.reason.section(QLatin1Char('\n'), 0, 0));
}

bool IsStop(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::RunStopped&) {
    return true;
  } catch (...) {
    return false;
  }
}
