// Desktop services on Qt: message boxes, system colours, locale, time, beep and process
// start.
#include "platform/platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
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

void UseDialogFontStandIns() {
  static const bool done = [] {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    return true;
  }();
  (void)done;
}

QFont DialogFont(double points) {
  UseDialogFontStandIns();
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSizeF(points);
  return font;
}

namespace {
// Every program of the suite links this layer: as soon as its application object exists,
// its dialogs (labels, buttons, message boxes) take the dialog font.
void SetDialogFontOfTheApplication() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QApplication::setFont(DialogFont(8));
}
}  // namespace
Q_COREAPP_STARTUP_FUNCTION(SetDialogFontOfTheApplication)

void ShowMessage(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

void ShowWarning(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
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
