#pragma once

// Where a Run from the window writes its files: a folder the user chose, the data
// file's own folder (as started from the desktop's menu), or the process's current
// folder; whether a folder can take them; and which data file made the Run files a
// folder already holds, so that a Run on another one does not replace them unasked.

#include <QMap>
#include <QString>

struct WorkingFolderChoice {
  QString folder;           // absolute; empty when none was chosen
  bool besideData = false;  // without a chosen folder: the data file's folder
};

// The folder a Run started now writes into, for the data path as typed.
QString EffectiveWorkingFolder(const WorkingFolderChoice& choice, const QString& dataPath);

// "Working folder: <folder>", or "the data file's folder" while that depends on a data
// path not yet given.
QString WorkingFolderCaption(const WorkingFolderChoice& choice, const QString& dataPath);

// Whether the folder exists, is a folder, and this user may create files in it.
bool FolderWritable(const QString& folder);

// The question offered when a data file's folder cannot take the Run's files.
QString ReadOnlyDataFolderQuestion(const QString& dataPath);

// Which data file (absolute path) made the files of each results file (absolute path)
// that Runs from the window wrote.
using RunOrigins = QMap<QString, QString>;

// The results file of a Run: the result name in the folder.
QString ResultsPath(const QString& folder, const QString& resultName);

// Records that a Run on the data file wrote the results file.
void RecordRunOrigin(RunOrigins& origins, const QString& folder, const QString& resultName,
                     const QString& dataPath);

// The question to ask before a Run on `dataPath` replaces the results file of a Run on
// another data file, or of a Run the window does not know (run from the command line, or
// forgotten); empty when no results file is there, it is this data file's, or the data
// file is not there (its Run fails before it writes anything).
QString ReplaceQuestion(const RunOrigins& origins, const QString& folder, const QString& resultName,
                        const QString& dataPath);
