// brisel: the suite's file viewer.
#include <QApplication>

#include "viewer/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brisel"));
  viewer::MainWindow window;
  window.exec();
  return 0;
}
