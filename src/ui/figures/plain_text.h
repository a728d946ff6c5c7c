#pragma once

// Names from the user's files (loci, populations, result names) drawn in figures as they
// are written, never read as markup: Qt Charts reads every label and title as HTML, and
// an SVG file may hold no control character, not even escaped.

#include <QString>
#include <string>

namespace genosieve {

// The text with every character an SVG file or a one-line label cannot hold replaced by
// a visible one: a control character by its picture (U+2400 "␀" for NUL, U+2409 "␉" for
// TAB, U+2421 "␡" for DEL), a C1 control, a line or paragraph separator and the
// non-characters U+FFFE and U+FFFF by U+FFFD "�". Bytes that are not UTF-8 are read as
// U+FFFD.
QString DrawableText(const std::string& utf8);
QString DrawableText(const QString& text);

// The same text as HTML that Qt draws exactly as written: markup characters escaped and
// spaces kept (neither collapsed nor broken across lines).
QString PlainTextHtml(const std::string& utf8);

}  // namespace genosieve
