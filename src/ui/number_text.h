#pragma once

// Numbers as the window shows and copies them: with the Run's decimal separator (the
// one its results file uses), rounded to be read on screen, every digit in a copy.

#include <QLocale>
#include <QString>

// Four significant digits ("0.1148", "2.5e-06"), with the separator.
QString ReadableNumber(double value, char separator);

// The shortest text that reads back as the same double ("0.11479872741841166"), with the
// separator; "nan", "inf" and "-inf" for what is no number.
QString ExactNumber(double value, char separator);

// The locale whose numbers the charts' axes show: the user's, when its decimal separator
// is the Run's, else one whose separator is (a point: the C locale; a comma: French).
QLocale ChartLocale(char separator);
