// How fast lisket prints a large NEH file, and that its memory does not grow with the
// file: the listing goes through the real printer path (the line printer with the PDF
// stand-in, SUITE_PRINT_TO_PDF) record by record from the open file.
//
//   bench_lister_print [RECORDS] [FOLDER]    (default 1000000 records, folder /tmp)
//
// Prints records per second and the peak resident memory (VmHWM) before and after a
// listing a tenth of the size and after the full listing.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "lister/lister_dialog.h"
#include "lister/lister_run.h"

namespace {

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

// Writes an NEH file of `count` points record by record (never held in memory).
bool WriteNeh(const std::string& path, long count) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  for (long r = 1; r <= count; ++r) {
    const double v[3] = {820000.0 + (r % 20000) * 0.75, 836000.0 + (r % 15000) * 0.5,
                         (r % 90) * 10000.0 + 10.0 + (r % 1000) * 0.013};
    if (std::fwrite(v, sizeof v, 1, f) != 1) {
      std::fclose(f);
      return false;
    }
  }
  return std::fclose(f) == 0;
}

struct Result {
  double seconds = 0;
  long hwmKb = 0;
  qint64 pdfBytes = 0;
  int pages = 0;
};

Result PrintListing(lister::ListerDialog& dialog, const std::string& name, const QString& pdf) {
  qputenv("SUITE_PRINT_TO_PDF", QFile::encodeName(pdf));
  QFile::remove(pdf);
  lister::ListerRun run;
  run.area = dialog.Area();
  run.window = &dialog;
  run.kind = toolkit::SurveyKind::Neh;
  Result result;
  QElapsedTimer clock;
  clock.start();
  if (toolkit::OpenSurveyFileNamed(run.file, name, run.kind) != toolkit::OpenResult::Ok ||
      !run.printer.Acquire("lisket", QFont("Courier New", 10))) {
    std::fprintf(stderr, "cannot open %s or the PDF printer\n", name.c_str());
    return result;
  }
  run.state.printerFlag = 1;
  run.state.fileName = name;
  run.state.startNumber = 1;
  run.state.lastRecord = run.file.recordCount;
  lister::PrintFileNameLine(run);
  lister::ListOnPrinter(run);
  result.pages = run.printer.PageCount();
  run.printer.Release();
  toolkit::CloseSurveyFile(run.file);
  result.seconds = clock.nsecsElapsed() / 1e9;
  result.hwmKb = StatusKb("VmHWM:");
  result.pdfBytes = QFileInfo(pdf).size();
  return result;
}

bool CountLine(void* context, const std::string& line) {
  *static_cast<std::size_t*>(context) += line.size();
  return true;
}

// The same records read and formatted without the printer: the lister's own share.
double FormatOnly(const std::string& name) {
  toolkit::SurveyFile file;
  if (toolkit::OpenSurveyFileNamed(file, name, toolkit::SurveyKind::Neh) != toolkit::OpenResult::Ok)
    return 0;
  lister::ListerState state;
  state.currentRecord = 1;
  state.lastRecord = file.recordCount;
  std::size_t bytes = 0;
  QElapsedTimer clock;
  clock.start();
  lister::ListInOnePass(state, toolkit::SurveyKind::Neh, file, CountLine, &bytes);
  const double seconds = clock.nsecsElapsed() / 1e9;
  toolkit::CloseSurveyFile(file);
  return bytes > 0 ? seconds : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp";
  const std::string small = folder + "/bench_lister_small.NEH";
  const std::string large = folder + "/bench_lister_large.NEH";
  if (count < 10 || !WriteNeh(small, count / 10) || !WriteNeh(large, count)) {
    std::fprintf(stderr, "cannot write the test files in %s\n", folder.c_str());
    return 1;
  }
  lister::ListerDialog dialog;
  dialog.show();
  const long hwmStart = StatusKb("VmHWM:");
  const Result a =
      PrintListing(dialog, small, QString::fromStdString(folder + "/bench_lister_small.pdf"));
  const Result b =
      PrintListing(dialog, large, QString::fromStdString(folder + "/bench_lister_large.pdf"));
  std::printf("records  seconds  records/s  pages  PDF MB  VmHWM after (MB)\n");
  std::printf("%8ld %8.2f %10.0f %6d %7.1f %8.1f\n", count / 10, a.seconds,
              (count / 10) / a.seconds, a.pages, a.pdfBytes / 1e6, a.hwmKb / 1024.0);
  std::printf("%8ld %8.2f %10.0f %6d %7.1f %8.1f\n", count, b.seconds, count / b.seconds, b.pages,
              b.pdfBytes / 1e6, b.hwmKb / 1024.0);
  const double format = FormatOnly(large);
  std::printf("reading and formatting alone: %.2f s, %.0f records/s\n", format, count / format);
  std::printf(
      "VmHWM before the listings: %.1f MB; growth from the %ld- to the %ld-record "
      "listing: %.1f MB\n",
      hwmStart / 1024.0, count / 10, count, (b.hwmKb - a.hwmKb) / 1024.0);
  if (qEnvironmentVariableIsEmpty("BENCH_KEEP")) std::remove(small.c_str());
  std::remove(large.c_str());
  return 0;
}
