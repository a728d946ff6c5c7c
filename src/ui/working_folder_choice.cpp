#include "working_folder_choice.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString AbsoluteFile(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

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

bool FolderWritable(const QString& folder) {
  const QFileInfo info(folder);
  if (!info.isDir()) return false;
  // The permissions as the system applies them to this process (root included).
  return ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

QString ReadOnlyDataFolderQuestion(const QString& dataPath) {
  const QFileInfo data(dataPath);
  return QStringLiteral(
             "The folder of \"%1\" cannot take the Run's files (you may not write in it):\n%2\n"
             "A Run writes its files into the working folder. Choose another working folder?")
      .arg(data.fileName(), QDir::toNativeSeparators(data.absolutePath()));
}

QString ResultsPath(const QString& folder, const QString& resultName) {
  return QDir::cleanPath(QDir(folder).absoluteFilePath(resultName));
}

void RecordRunOrigin(RunOrigins& origins, const QString& folder, const QString& resultName,
                     const QString& dataPath) {
  origins.insert(ResultsPath(folder, resultName), AbsoluteFile(dataPath));
}

QString ReplaceQuestion(const RunOrigins& origins, const QString& folder, const QString& resultName,
                        const QString& dataPath) {
  const QString results = ResultsPath(folder, resultName);
  // A data file that is not there replaces nothing: its Run fails when it reads it.
  if (!QFileInfo::exists(results) || !QFileInfo(dataPath).isFile()) return {};
  const QString data = AbsoluteFile(dataPath);
  const auto origin = origins.constFind(results);
  if (origin != origins.cend() && *origin == data) return {};
  const QString previous =
      origin == origins.cend()
          ? QStringLiteral("of an earlier Run on a data file this window does not know")
          : QStringLiteral("of a Run on another data file, \"%1\"")
                .arg(QDir::toNativeSeparators(*origin));
  return QStringLiteral(
             "The working folder %1 already holds \"%2\" and the other files %3.\n"
             "A Run on \"%4\" replaces them. To keep them, choose another result "
             "name or working folder.\nReplace them?")
      .arg(QDir::toNativeSeparators(folder), resultName, previous, QFileInfo(dataPath).fileName());
}
