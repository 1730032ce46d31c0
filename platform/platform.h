#pragma once
// Small services of the desktop that the programs use: message boxes, system colours,
// the locale's measurement system, local time and process start.
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>

class QWidget;

namespace platform {

// A modal message box with one OK button, the exact title and text.
void ShowMessage(QWidget* parent, const QString& title, const QString& text);
// The same with the warning sign: something asked for cannot be done as asked.
void ShowWarning(QWidget* parent, const QString& title, const QString& text);

// The dialog font of the suite, "MS Sans Serif" at the given size. Where that face is not
// installed a face of the same character widths stands in for it (Microsoft Sans Serif,
// else the Arial widths of Liberation Sans or Arial), never the much wider default sans
// of the system, so that the texts fit the fixed widths of the dialogs' controls.
QFont DialogFont(double points = 8);
// Registers those stand-ins for "MS Sans Serif" (once per process). Every program of the
// suite does this as its application object is made, and makes "MS Sans Serif" 8 pt the
// font of its dialogs.
void UseDialogFontStandIns();

// System colours (from the application palette).
QColor SystemWindowText();
QColor SystemWindow();
QColor SystemButtonFace();  // the three-dimensional face colour
QColor SystemButtonShadow();

// 1 for U.S. units, 0 for metric, as the locale says.
int MeasurementSystem();
QDateTime LocalNow();

// The system beep.
void Beep();
// How many times Beep() sounded in this process (tests count the beeps).
int BeepCount();

// Starts a program by its command line as a new process with this process's environment
// and current folder, waits without a time limit while this program handles no events,
// and returns its exit code; -1 when it cannot be started or crashes (nothing is shown).
// The command line is split like a shell would (double quotes group blanks). A program
// named "name.exe" that exists only as "name" is started by the name without ".exe".
int RunProcessAndWait(const QString& commandLine);

}  // namespace platform
