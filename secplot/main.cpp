// sectra and sectra-dark: the section plotter. SECTRA_DARK selects the dark build.
#include <QApplication>

#include "secplot/sectra_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
#ifdef SECTRA_DARK
  secplot::SectraWindow window(secplot::kDarkBuild);
#else
  secplot::SectraWindow window(secplot::kMainBuild);
#endif
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  window.show();
  window.raise();
  window.activateWindow();
  return app.exec();
}
