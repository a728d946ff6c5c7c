#include "working_folder_choice.h"

#include <QDir>
#include <QFileInfo>

QString EffectiveWorkingFolder(const WorkingFolderChoice& choice, const QString& dataPath) {
  if (!choice.folder.isEmpty()) return choice.folder;
  if (choice.besideData && !dataPath.isEmpty()) return QFileInfo(dataPath).absolutePath();
  return QDir::currentPath();
}

QString WorkingFolderCaption(const WorkingFolderChoice& choice, const QString& dataPath) {
  const QString folder = !choice.folder.isEmpty() || !choice.besideData
                             ? QDir::toNativeSeparators(EffectiveWorkingFolder(choice, dataPath))
                             : QStringLiteral("the data file's folder");
  return QStringLiteral("Working folder: %1").arg(folder);
}
