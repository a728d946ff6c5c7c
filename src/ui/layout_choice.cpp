#include "layout_choice.h"

#include <QFileInfo>

std::vector<genosieve::AmbiguousLayout::Reading> LayoutReadings(const std::exception_ptr& failure) {
  if (!failure) return {};
  try {
    std::rethrow_exception(failure);
  } catch (const genosieve::AmbiguousLayout& error) {
    return error.readings;
  } catch (...) {
    return {};
  }
}

QString LayoutQuestion(const QString& dataPath) {
  return QStringLiteral(
             "\"%1\" reads in two layouts, which give different populations or genotypes. "
             "Which is the file's?")
      .arg(QFileInfo(dataPath).fileName());
}

QStringList LayoutChoices(const std::vector<genosieve::AmbiguousLayout::Reading>& readings) {
  QStringList choices;
  for (const genosieve::AmbiguousLayout::Reading& reading : readings) {
    choices.append(
        QStringLiteral("%1: %2").arg(QString::fromStdString(genosieve::FormatTitle(reading.format)),
                                     QString::fromStdString(reading.description)));
  }
  return choices;
}
