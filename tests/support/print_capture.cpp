// Reading back what the printer received: the CUPS queue of print_queue.sh writes each
// job to SUITE_PRINT_DIR/job.pdf; without CUPS the suite's PDF stand-in writes
// SUITE_PRINT_DIR/fallback.pdf. Either file is read with pdftotext -layout.
#include "print_capture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QThread>
#include <QtGlobal>

#ifndef SUITE_PRINT_DIR
#define SUITE_PRINT_DIR "print-queue"
#endif

namespace testsupport {

namespace {

const char* const kQueue = "suite_pdf";

struct Capture {
  bool prepared = false;
  bool cups = false;
  QString file;  // where the next job lands
};

Capture& State() {
  static Capture c;
  return c;
}

QString Dir() { return QDir(QStringLiteral(SUITE_PRINT_DIR)).absolutePath(); }

// Jobs of our queue still waiting or printing.
bool QueueBusy() {
  QProcess lpstat;
  lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o"), QLatin1String(kQueue)});
  if (!lpstat.waitForFinished(10000)) {
    lpstat.kill();
    lpstat.waitForFinished(1000);
    return true;
  }
  return !lpstat.readAllStandardOutput().trimmed().isEmpty();
}

// The device line of our queue ("device for suite_pdf: ///path/job.pdf").
QString QueueDevice() {
  QProcess lpstat;
  lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-v"), QLatin1String(kQueue)});
  if (!lpstat.waitForFinished(10000)) {
    lpstat.kill();
    lpstat.waitForFinished(1000);
    return QString();
  }
  return QString::fromLocal8Bit(lpstat.readAllStandardOutput()).trimmed();
}

void Sleep(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

}  // namespace

bool PreparePrinter() {
  Capture& c = State();
  const QDir dir(Dir());
  if (!dir.exists() && !QDir().mkpath(Dir())) {
    qWarning("print capture: cannot create %s", qPrintable(Dir()));
    return false;
  }
  const QString marker = dir.filePath(QStringLiteral("unavailable"));
  bool cups = !QFileInfo::exists(marker);
  QString why;
  if (!cups) {
    QFile m(marker);
    if (m.open(QIODevice::ReadOnly)) why = QString::fromLocal8Bit(m.readAll()).trimmed();
  } else {
    qunsetenv("SUITE_PRINT_TO_PDF");
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull() || def.printerName() != QLatin1String(kQueue)) {
      cups = false;
      why = QStringLiteral("the default printer is not the test queue %1").arg(kQueue);
    } else if (!QueueDevice().contains(QDir(Dir()).absoluteFilePath("job.pdf"))) {
      cups = false;  // a queue left by another build folder
      why = QStringLiteral("the queue %1 writes elsewhere: %2").arg(kQueue, QueueDevice());
    }
  }
  if (cups) {
    c.file = dir.filePath(QStringLiteral("job.pdf"));
    QFile::remove(c.file);
    qInfo("print capture: printing through the CUPS queue %s into %s", kQueue, qPrintable(c.file));
  } else {
    c.file = dir.filePath(QStringLiteral("fallback.pdf"));
    QFile::remove(c.file);
    qputenv("SUITE_PRINT_TO_PDF", QFile::encodeName(c.file));
    qInfo("print capture: no CUPS queue (%s); printing into the PDF file %s instead",
          qPrintable(why.isEmpty() ? QStringLiteral("fixture not run") : why), qPrintable(c.file));
  }
  c.cups = cups;
  c.prepared = true;
  return true;
}

QString WaitForPrintedText(int timeoutMs) {
  Capture& c = State();
  if (!c.prepared) return QString();
  QElapsedTimer clock;
  clock.start();
  qint64 lastSize = -1;
  bool ready = false;
  while (clock.elapsed() < timeoutMs) {
    const QFileInfo info(c.file);
    const qint64 size = info.exists() ? info.size() : -1;
    const bool busy = c.cups && QueueBusy();
    if (size > 0 && !busy && size == lastSize) {
      ready = true;
      break;
    }
    lastSize = size;
    Sleep(150);
  }
  if (!ready) return QString();
  QProcess pdf;
  pdf.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), c.file, QStringLiteral("-")});
  if (!pdf.waitForFinished(30000)) {
    pdf.kill();
    pdf.waitForFinished(1000);
    qWarning("print capture: pdftotext did not finish");
    return QString();
  }
  if (pdf.exitStatus() != QProcess::NormalExit || pdf.exitCode() != 0) {
    qWarning("print capture: pdftotext failed: %s", pdf.readAllStandardError().constData());
    return QString();
  }
  return QString::fromUtf8(pdf.readAllStandardOutput());
}

QStringList WaitForPrintedPages(int timeoutMs) {
  const QString text = WaitForPrintedText(timeoutMs);
  if (text.isEmpty()) return {};
  QStringList pages = text.split(QLatin1Char('\f'));
  if (pages.size() > 1 && pages.last().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

QString PrintedFile() { return State().file; }

bool UsingCupsQueue() { return State().cups; }

void RemovePrinter() { qputenv("SUITE_NO_PRINTER", "1"); }

}  // namespace testsupport
