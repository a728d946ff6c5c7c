#include "plain_text.h"

namespace genosieve {

namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 + c pictures the C0 control c
constexpr char16_t kDeletePicture = 0x2421;
constexpr char16_t kReplacement = 0xFFFD;

QChar Drawable(QChar c) {
  const char16_t code = c.unicode();
  if (code < 0x20) return QChar(static_cast<char16_t>(kControlPictures + code));
  if (code == 0x7F) return QChar(kDeletePicture);
  if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 || code == 0xFFFE ||
      code == 0xFFFF) {
    return QChar(kReplacement);
  }
  return c;
}

}  // namespace

QString DrawableText(const QString& text) {
  QString drawable = text;
  for (QChar& c : drawable) c = Drawable(c);
  return drawable;
}

QString DrawableText(const std::string& utf8) { return DrawableText(QString::fromStdString(utf8)); }

QString PlainTextHtml(const std::string& utf8) {
  // A no-break space is drawn as a space, and HTML neither collapses nor breaks at it.
  return DrawableText(utf8).toHtmlEscaped().replace(QLatin1Char(' '), QChar(0x00A0));
}

}  // namespace genosieve
