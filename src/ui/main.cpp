#include <QApplication>

#include "unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GENOSIEVE"));
  QApplication::setApplicationVersion(QStringLiteral("0.4"));
  // Lets the desktop match the window with the installed genosieve.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("genosieve"));

  TForm1 form1;
  QApplication::setWindowIcon(form1.windowIcon());
  form1.show();
  return QApplication::exec();
}
