#pragma once

// Where a Run from the window writes its files: a folder the user chose, the data
// file's own folder (as started from the desktop's menu), or the process's current
// folder.

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
