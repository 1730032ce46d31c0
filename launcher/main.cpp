// selvan: the suite's start menu.
#include "launcher/launcher_core.h"
#include "launcher/launcher_window.h"

#include <QApplication>

#ifndef SUITE_INSTALL_DIR
#define SUITE_INSTALL_DIR ""
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  launcher::LauncherState state;
  // The install folder is fixed when the launcher is built; an empty or relative one is
  // the folder that holds the launcher (where the suite was installed), or below it.
  state.installFolder = QString::fromStdString(launcher::InstallFolder(
      SUITE_INSTALL_DIR, QCoreApplication::applicationDirPath().toStdString()));
  std::unique_ptr<QWidget> window = launcher::CreateLauncher(state);
  launcher::ShowLauncher(*window);
  const int result = app.exec();
  window.reset();
  return result;
}
