// The SEC section reader over arbitrary bytes and names: search, first point, the end
// through empty records, the next name and paging, drawn into the recording canvas.
// Input: a flags byte, the first name up to a newline, the last name up to a newline,
// then the file's bytes. Checks: every page ends, the current record only moves forward,
// nothing not finite reaches a label's text.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "secplot/recording_canvas.h"
#include "secplot/section_plot.h"

namespace {

std::string TakeLine(const uint8_t*& data, size_t& size) {
  std::string line;
  while (size > 0 && line.size() < 300) {
    const char c = static_cast<char>(*data++);
    --size;
    if (c == '\n') break;
    line.push_back(c);
  }
  return line;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const std::string& ScratchFile() {
  static const std::string path = "/tmp/secplot_fuzz_" + std::to_string(getpid()) + ".SEC";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = *data++;
  --size;
  const std::string first = TakeLine(data, size);
  const std::string last = TakeLine(data, size);
  {
    std::FILE* f = std::fopen(ScratchFile().c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  secplot::SectionPlotState state;
  const int files = 1 + (flags & 1);  // the same file once or twice
  for (int k = 1; k <= files; ++k) {
    auto& e = state.files[k - 1];
    if (toolkit::OpenSurveyFileNamed(e.file, ScratchFile(), toolkit::SurveyKind::Sec) !=
        toolkit::OpenResult::Ok)
      return 0;
    e.labels = (flags & 2) == 0;
    state.fileCount = k;
  }
  state.horizScale = 1 + (flags >> 4) * 100;
  state.vertScale = 1 + ((flags >> 2) & 3) * 50;
  state.x0 = -20;
  secplot::SetSectionRange(state, first, last);
  secplot::RecordingCanvas canvas;
  const secplot::PageStyle& style = (flags & 0x80) ? secplot::kDarkPage : secplot::kMainPage;
  for (int page = 0; page < 64; ++page) {
    std::int64_t before[secplot::kMaxFiles];
    for (int k = 0; k < files; ++k) before[k] = state.files[k].record;
    const secplot::PageResult r = secplot::DrawSectionPage(state, canvas, style);
    for (int k = 0; k < files; ++k) Check(state.files[k].record >= before[k]);
    for (const secplot::DrawOp& op : canvas.OfKind(secplot::DrawOp::Label))
      if (!std::isfinite(op.y1)) Check(op.text.empty());
    if (r != secplot::PageResult::Drawn || secplot::PageWasLast(state)) break;
  }
  for (auto& e : state.files) toolkit::CloseSurveyFile(e.file);
  return 0;
}
