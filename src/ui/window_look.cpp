#include "window_look.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#ifdef GENOSIEVE_HAVE_QT_SVG
#include <QSvgRenderer>
#endif

namespace {

const QString kIconPath = QStringLiteral(":/genosieve/genosieve.svg");

}  // namespace

// The window was laid out for "MS Sans Serif" at 8 points; where that font is missing
// the system's own sans serif at the same size keeps the texts inside their controls.
QFont WindowFont() {
  const QString designFamily = QStringLiteral("MS Sans Serif");
  if (QFontDatabase::families().contains(designFamily)) return QFont(designFamily, 8);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

// The layout was drawn for a narrower font than most systems have.
void FitText(QWidget* control, const QString& text, int reserved) {
  const int available = control->width() - reserved;
  QFont font = control->font();
  for (int stretch = 100; stretch >= 60; stretch -= 4) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(text) <= available) break;
  }
  if (font.stretch() < QFont::Unstretched) control->setFont(font);
}

QIcon WindowIcon() {
#ifdef GENOSIEVE_HAVE_QT_SVG
  // Rendered here rather than through the image-format plugin, which may be missing.
  QSvgRenderer renderer(kIconPath);
  if (renderer.isValid()) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      renderer.render(&painter);
      painter.end();
      icon.addPixmap(pixmap);
    }
    return icon;
  }
#endif
  return QIcon(kIconPath);
}

QString WrappedTip(const QString& text) {
  // A tooltip in rich text wraps, at about eighty characters.
  return QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped());
}
