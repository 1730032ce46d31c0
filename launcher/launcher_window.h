#pragma once
// The launcher window: a tab control with one page, "SELECTION", on a shaded blue
// background, holding a drop-down list of the suite's programs. Choosing an entry starts
// that program from the install folder and waits until it has ended.
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QComboBox;
class QPainter;
class QTabWidget;

namespace launcher {

class SelectionPage;

// Control ids of the window, kept as the objects' names.
inline constexpr int kTabControlId = 1000;
inline constexpr int kProgramListId = 1006;
// The cancel command.
inline constexpr int kCancelCommandId = 2;

// Everything the launcher keeps while it runs.
struct LauncherState {
  QString installFolder;  // with a trailing separator; programs start from here
  QFont listFont;         // "Arial" 10 pt bold, lives as long as the window
  QPointer<QWidget> window;
  QPointer<QTabWidget> tabs;
  QPointer<SelectionPage> page;
  QPointer<QComboBox> list;
};

// Creates the launcher window centred on the screen with its tab control, the selection
// page and the program list (the table's entries, the first selected). The window is not
// shown yet. `state.installFolder` must be set first.
std::unique_ptr<QWidget> CreateLauncher(LauncherState& state);

// Shows the launcher window centred on the screen, frame included, and gives it the keyboard.
void ShowLauncher(QWidget& window);

// Shades the surface's whole area in 200 horizontal bands, page 1 in blue, page 2 in green,
// any other page in red, from 255 at the top down to 56 at the bottom.
void PaintGradient(QPainter& surface, int k);

// Starts the command (cut to 256 characters) as a new process with the launcher's
// environment and current folder and waits, without a time limit and handling no events,
// until it has ended. The exit code is ignored; a program that cannot start shows nothing.
void RunProgram(const QString& command);

// The program list's selection changed to entry `entry` (counted from 1): start it and
// wait. Keys and clicks given at the launcher while it waited are dropped, not replayed.
void ProgramListChanged(LauncherState& state, int entry);

// The cancel command reached the selection page: the page goes, the window stays.
void CancelCommand(LauncherState& state);

// The selection page: paints the shaded background and takes the cancel command.
class SelectionPage : public QWidget {
  Q_OBJECT
 public:
  SelectionPage(LauncherState& state, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  LauncherState& state_;
};

}  // namespace launcher
