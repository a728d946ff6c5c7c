#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle("GENOSIEVE 0.4");
  window.show();
  return app.exec();
}
