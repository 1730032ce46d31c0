// surveyexport-gui: the export window. File names on the command line are added to its
// list, as the file manager's "Open with Survey Export" gives them.
#include <QApplication>
#include <QStringList>

#include "export/export_common.h"
#include "export/gui_window.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("QOVA");
  QApplication::setApplicationName("surveyexport-gui");
  QApplication::setApplicationDisplayName("Survey Export");
  QApplication::setDesktopFileName("surveyexport-gui");
  QApplication::setFont(platform::DialogFont(8));
  // An export cut short by a terminating signal leaves nothing under the output's name.
  surveyexport::HandleTerminatingSignals();
  surveyexport::ExportWindow window;
  QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty() && files.front() == "--") files.removeFirst();
  window.AddFiles(files);
  window.show();
  window.raise();
  window.activateWindow();
  return app.exec();
}
