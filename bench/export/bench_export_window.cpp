// The export window with a 1,000,000-record NEH file (a 1 km square of spot levels with
// line work every tenth run of records): how long the preview takes to be drawn, fitted
// and after a zoom, and the longest gap of the window's event loop (a timer asks every
// millisecond) while the file is read for the list, previewed, and exported to GeoPackage
// and DXF. Prints one line a case: seconds and the longest gap in milliseconds.
//   bench_export_window [RECORDS]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "export/gui_preview.h"
#include "export/gui_window.h"

namespace {

void WriteNeh(const std::string& path, long records) {
  std::string bytes(24 * records, '\0');
  for (long r = 0; r < records; ++r) {
    const long row = r / 1000, col = r % 1000;
    double n = 820000.0 + row, e = 836000.0 + (row % 2 ? 999 - col : col);
    // Every tenth row is line work: a line marker at its first and last record, code 21.
    const bool line = row % 10 == 0;
    if (line && (col == 0 || col == 999)) n = -n;
    const double height = 10 + 0.001 * (r % 5000);
    const double code = line ? 21 : 1;
    const double packed = code * 10000 + height;
    const double rec[3] = {n, e, packed};
    std::memcpy(&bytes[24 * r], rec, 24);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// The longest time between two ticks of a 1 ms timer while `until` is false.
struct GapWatch {
  QTimer timer;
  QElapsedTimer clock;
  qint64 last = 0, longest = 0;
  GapWatch() {
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
  }
  void Start() {
    clock.start();
    last = 0;
    longest = 0;
    timer.start();
  }
  qint64 Stop() {
    timer.stop();
    return longest;
  }
};

template <typename Done>
double Wait(GapWatch& watch, Done done, const char* what) {
  QElapsedTimer t;
  t.start();
  watch.Start();
  while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  const qint64 gap = watch.Stop();
  const double s = t.elapsed() / 1000.0;
  std::printf("%-34s %8.3f s   longest event-loop gap %4lld ms\n", what, s,
              static_cast<long long>(gap));
  std::fflush(stdout);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setOrganizationName("QOVA-bench");
  const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
  QTemporaryDir dir;
  const QString neh = dir.filePath("BIG.NEH");
  WriteNeh(neh.toStdString(), records);
  std::printf("%ld records (%ld MB)\n", records, records * 24 / 1000000);

  {
    // The preview's two steps on their own, on this thread: the plan read for its extent,
    // and drawn into an image of the preview's size.
    auto scene = surveyexport::PlanScene(neh.toStdString(), "", false, false);
    QElapsedTimer t;
    t.start();
    scene->Prepare([] { return true; });
    const double prepare = t.elapsed() / 1000.0;
    QImage image(800, 560, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto view = surveyexport::FitPreviewView(scene->Extent(), true, 800, 560);
    t.restart();
    scene->Draw(image, view, [] { return true; });
    std::printf("%-34s %8.3f s + %.3f s drawn\n", "plan scene read for its extent", prepare,
                t.elapsed() / 1000.0);
  }

  surveyexport::ExportWindow window;
  window.resize(1100, 760);
  window.show();
  GapWatch watch;
  surveyexport::PreviewArea* preview = window.Preview();
  int drawn = 0;
  qint64 lastDrawMs = 0;
  QObject::connect(preview, &surveyexport::PreviewArea::Drawn, [&](qint64 ms) {
    ++drawn;
    lastDrawMs = ms;
  });

  window.AddFiles({neh});
  Wait(
      watch, [&] { return drawn > 0 && !preview->Drawing(); }, "preview (read, fit, draw)");
  std::printf("%-34s %8.3f s\n", "  drawn after being asked", lastDrawMs / 1000.0);
  Wait(
      watch, [&] { return window.Reading() == 0; }, "list facts (records, extent)");

  drawn = 0;
  preview->ZoomAt(QPointF(preview->width() / 2.0, preview->height() / 2.0), 4);
  Wait(
      watch, [&] { return drawn > 0 && !preview->Drawing(); }, "preview zoomed in 4 times");
  std::printf("%-34s %8.3f s\n", "  drawn after being asked", lastDrawMs / 1000.0);

  for (const char* target : {"GIS layer (GeoPackage)", "CAD drawing (DXF)"}) {
    for (QLabel* l : window.findChildren<QLabel*>()) {
      if (l->text() == "Export &to:") qobject_cast<QComboBox*>(l->buddy())->setCurrentText(target);
      if (l->text() == "Save &in folder:")
        qobject_cast<QLineEdit*>(l->buddy())->setText(dir.path());
    }
    bool finished = false;
    auto c = QObject::connect(&window, &surveyexport::ExportWindow::ExportFinished,
                              [&] { finished = true; });
    window.StartExport();
    Wait(
        watch, [&] { return finished; }, (std::string("export to ") + target).c_str());
    QObject::disconnect(c);
  }
  return 0;
}
