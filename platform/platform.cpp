// Desktop services on Qt: message boxes, system colours, locale, time, beep and process
// start.
#include "platform/platform.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPalette>
#include <QProcess>
#include <QStringList>

#include <atomic>

namespace platform {

namespace {
std::atomic<int> g_beeps{0};

QPalette AppPalette() {
  if (qApp) return QApplication::palette();
  return QPalette();
}
}  // namespace

void ShowMessage(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

QColor SystemWindowText() { return AppPalette().color(QPalette::Active, QPalette::WindowText); }
QColor SystemWindow() { return AppPalette().color(QPalette::Active, QPalette::Base); }
QColor SystemButtonFace() { return AppPalette().color(QPalette::Active, QPalette::Button); }
QColor SystemButtonShadow() { return AppPalette().color(QPalette::Active, QPalette::Dark); }

int MeasurementSystem() {
  return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? 1 : 0;
}

QDateTime LocalNow() { return QDateTime::currentDateTime(); }

void Beep() {
  ++g_beeps;
  if (qApp) QApplication::beep();
}

int BeepCount() { return g_beeps.load(); }

namespace {
// A program named "x.exe" that exists only as "x" (systems whose programs carry no
// extension) is started by the name without ".exe".
QString ResolveProgram(const QString& program) {
  if (!program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) return program;
  if (QFileInfo::exists(program)) return program;
  const QString bare = program.left(program.size() - 4);
  if (!bare.isEmpty() && QFileInfo(bare).isFile()) return bare;
  return program;
}
}  // namespace

int RunProcessAndWait(const QString& commandLine) {
  QStringList args = QProcess::splitCommand(commandLine);
  if (args.isEmpty()) return -1;
  const QString program = ResolveProgram(args.takeFirst());
  QProcess process;
  process.setProgram(program);
  process.setArguments(args);
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.setInputChannelMode(QProcess::ForwardedInputChannel);
  process.start();
  if (!process.waitForStarted(-1)) return -1;
  process.waitForFinished(-1);
  if (process.exitStatus() != QProcess::NormalExit) return -1;
  return process.exitCode();
}

}  // namespace platform
