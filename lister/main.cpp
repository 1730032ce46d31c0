// lisket: lists a survey data file on screen or on the printer.
#include <QApplication>

#include "lister/lister_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  lister::ListerDialog dialog;
  dialog.show();
  dialog.raise();
  dialog.activateWindow();
  dialog.exec();
  return 0;
}
