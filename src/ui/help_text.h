#pragma once

// The window's help: the README built into the program (F1 shows its section on the
// window) and the About message made from it (program, version, licence, how to cite,
// where the manual is), so that neither can drift from the manual.

#include <QString>

// The README this program was built with.
QString ReadmeText();

// The text under the heading `heading` (its title as written after the #'s), down to the
// next heading of the same level or above, without the heading itself; empty when the
// README has no such heading.
QString ReadmeSection(const QString& readme, const QString& heading);

// The README's section on the window, for F1, as Markdown.
QString WindowHelp();

// The README's file: installed beside the program (share/doc/genosieve/README.md from
// its prefix), else in the source tree it was built from; empty when neither is there.
QString ManualPath();

// The About message: lines separated by CR alone.
QString AboutText();
