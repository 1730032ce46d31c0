// Speed of the viewer on a large site: loading a 1,000,000-record NEH file (24 MB),
// wrapping a 1,000,000-line document, opening its preview and turning its pages.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen bench_viewer
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "viewer/document.h"
#include "viewer/page_image.h"
#include "viewer/page_layout.h"
#include "viewer/preview.h"

namespace {

constexpr int kRecords = 1000000;

const std::string& NehPath() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "bench_viewer_site.NEH").string();
    std::string bytes(static_cast<std::size_t>(kRecords) * 24, '\0');
    for (int r = 0; r < kRecords; ++r) {
      const double f[3] = {818000.0 + r * 0.013, 836000.0 + (r % 1000) * 1.25,
                           (r % 7) * 10000.0 + 10.0 + (r % 500) * 0.071};
      std::memcpy(bytes.data() + static_cast<std::size_t>(r) * 24, f, 24);
    }
    std::FILE* file = std::fopen(p.c_str(), "wb");
    if (file != nullptr) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
    return p;
  }();
  return path;
}

const QString& DocumentText() {
  static const QString text = [] {
    const viewer::LoadResult r = viewer::LoadSurveyFile(NehPath());
    // The edit box's form: the same lines; 1,000,001 of them with the header.
    return QString::fromLatin1(r.text.data(), static_cast<qsizetype>(r.text.size()));
  }();
  return text;
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

viewer::PageSettings MetricSettings() {
  viewer::PageSettings s;
  viewer::SetDefaultMarginsAndFont(s, 0);
  return s;
}

void BM_LoadSurveyFile(benchmark::State& state) {
  NehPath();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const viewer::LoadResult r = viewer::LoadSurveyFile(NehPath());
    bytes = r.text.size();
    benchmark::DoNotOptimize(r.text.data());
  }
  state.counters["text_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["records"] = kRecords;
}
BENCHMARK(BM_LoadSurveyFile)->Unit(benchmark::kMillisecond);

// Wrapping with the real font on the screen's page image; state.range(0) lines.
void BM_WrapLines(benchmark::State& state) {
  const QString& full = DocumentText();
  // The first n lines of the document.
  qsizetype end = 0;
  for (int k = 0; k < state.range(0) && end >= 0; ++k)
    end = full.indexOf(QLatin1String("\r\n"), end) + 2;
  const QString text = end > 0 ? full.left(end) : full;
  viewer::PageSettings s = MetricSettings();
  s.screenResolutionX = s.screenResolutionY = 96;
  viewer::ComputePageImage(s);
  QImage image(1, 1, QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(96 / 0.0254));
  image.setDotsPerMeterY(qRound(96 / 0.0254));
  const viewer::TextWidthFn width = viewer::TextWidthOn(viewer::SettingsFont(s), &image);
  viewer::PageLines lines;
  for (auto _ : state) {
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.constData()),
                                   static_cast<std::size_t>(text.size()));
    benchmark::DoNotOptimize(viewer::WrapLines(width, s.textWidth, view, lines, 60));
  }
  state.SetComplexityN(state.range(0));
  state.counters["elements"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_WrapLines)
    ->Arg(250000)
    ->Arg(500000)
    ->Arg(1000001)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// Opening the preview of the whole document: page image, wrapping, page 1, layout.
void BM_OpenPreview(benchmark::State& state) {
  const QString& text = DocumentText();
  const long before = PeakRssKiB();
  viewer::PageSettings s = MetricSettings();
  for (auto _ : state) {
    viewer::PreviewWindow preview(nullptr, QStringLiteral("QOVA File View - /tmp/SITE.NEH"), text,
                                  s);
    preview.initialise();
    benchmark::DoNotOptimize(preview.lines().size());
  }
  // Text bytes as the document holds them (8-bit characters).
  state.counters["text_MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["peak_rss_MB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
  state.counters["peak_growth_MB"] = static_cast<double>(PeakRssKiB() - before) / 1024.0;
  state.counters["pages"] = s.pageCount;
}
BENCHMARK(BM_OpenPreview)->Unit(benchmark::kMillisecond)->Iterations(3);

// Turning pages of the open preview: to the last page, to the first, one forward from
// the middle.
void BM_PageTurn(benchmark::State& state) {
  const QString& text = DocumentText();
  viewer::PageSettings s = MetricSettings();
  viewer::PreviewWindow preview(nullptr, QStringLiteral("QOVA File View - /tmp/SITE.NEH"), text, s);
  preview.initialise();
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    switch (which) {
      case 0:
        preview.goLast();
        break;
      case 1:
        preview.goFirst();
        break;
      default:
        if (preview.currentPage() >= s.pageCount) preview.goFirst();
        preview.goNext();
        break;
    }
  }
  state.SetLabel(which == 0 ? "to the last page" : which == 1 ? "to the first page" : "next page");
  state.counters["pages"] = s.pageCount;
}
BENCHMARK(BM_PageTurn)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("SUITE_NO_PRINTER", "1");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove(NehPath(), ec);
  return 0;
}
