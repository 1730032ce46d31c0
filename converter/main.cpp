// norvane: converts one coordinate at a time between the 1980 and 1984 Hong Kong grids,
// UTM on International 1924 and on WGS 84, the HK 1980 geodetic datum and WGS 84.
#include <QApplication>

#include "converter/converter_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ConverterForm form;
  form.show();
  form.raise();
  form.activateWindow();
  return app.exec();
}
