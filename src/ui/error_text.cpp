#include "error_text.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

#include "errors.h"
#include "messages.h"

QString ErrorText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::RunError& error) {
    const QString what = QString::fromStdString(error.what());
    if (!error.file) return what;
    if (error.file->empty()) return QStringLiteral("No data file given: %1").arg(what);
    // Relative to the current folder, as the Run reached it.
    const QString path =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(*error.file))).absoluteFilePath();
    return QStringLiteral("File \"%1\": %2").arg(QDir::toNativeSeparators(path), what);
  } catch (const std::bad_alloc&) {
    return QString::fromUtf8(genosieve::kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    return QString::fromStdString(error.what());
  } catch (...) {
    return QStringLiteral("Erreur inconnue");
  }
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
