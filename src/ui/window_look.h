#pragma once

// The window's look where the first layout, drawn for another system, needs help: its
// font, texts that must fit fixed controls, and its icon.

#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

// The window's caption (a Run puts its percentage before it).
inline const QString kWindowCaption = QStringLiteral("GENOSIEVE 0.4");

// "MS Sans Serif" of 8 points where installed, else the system's sans serif at 8 points.
QFont WindowFont();

// Narrows the control's font, never its geometry, until the text fits its width less
// `reserved` pixels (down to 60 % of the normal width).
void FitText(QWidget* control, const QString& text, int reserved);

// The program's icon, drawn at the usual sizes from its SVG source.
QIcon WindowIcon();

// The text as a tooltip that wraps at a readable width (a plain tooltip is one line,
// however long).
QString WrappedTip(const QString& text);
