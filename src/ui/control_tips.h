#pragma once

// What the window's settings and buttons say of themselves when the pointer rests on
// them.

#include <QString>

// The tip of the control of that name; empty for a control without one.
QString ControlTip(const QString& objectName);
