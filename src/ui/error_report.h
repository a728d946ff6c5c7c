#pragma once

// What an error box says, in English around the system's own message: what failed,
// which file or field, the reason (the system's text, a French one followed by its
// meaning) and what to do next.

#include <QString>
#include <exception>

struct ErrorReport {
  QString what;    // "The data file could not be read."
  QString where;   // "File: /data/aspen.txt", "Field: Number of iterations", or empty
  QString reason;  // "Fichier introuvable (the file does not exist)"
  QString next;    // "Check the path, or choose the file with Data file: (Ctrl+O)."
  // An error about a file in one line, as the command line prints it: the file's role and
  // full path, what was being done, the system's text; empty for other errors.
  QString line;
};

// The error that ended a Run on the data path `dataPath` (as the Run was given it).
ErrorReport RunErrorReport(const std::exception_ptr& failure, const QString& dataPath);

// A setting of the window that no Run can take: the field's caption, the reason and
// what to do.
ErrorReport FieldErrorReport(const QString& field, const QString& reason, const QString& next);

// A file the window itself could not save (`what`: "chart", "table"); `error` names it.
ErrorReport SaveErrorReport(const QString& what, const QString& error);

// The box's text: what failed, then "File: …" or "Field: …", "Reason: …" and "What to
// do: …", one line each.
QString ErrorBoxText(const ErrorReport& report);

// One line for the status line: an error about a file as the command line prints it
// (the box is gone once answered, the file stays named); otherwise what failed and the
// reason.
QString ErrorLine(const ErrorReport& report);

// The meaning of a French message of the system, for those who do not read French;
// empty for another text.
QString MessageMeaning(const QString& message);

// Whether the Run ended because its user asked it to stop.
bool IsStop(const std::exception_ptr& failure);
