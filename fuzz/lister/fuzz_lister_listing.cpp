// Arbitrary file contents listed as each of the six kinds the lister reads, on screen
// pages and in one pass as the printer does. Every listed line must be printable text no
// shorter than the kind's mask, whatever the bytes (NaN, infinities, huge numbers,
// control characters, text with no number, partial records).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lister/lister_core.h"

namespace {

struct Check {
  std::size_t shortest = 0;
  long lines = 0;
};

bool CheckLine(void* context, const std::string& line) {
  auto& check = *static_cast<Check*>(context);
  for (char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u > 126) std::abort();  // unprintable text reached a listing
  }
  if (line.size() < check.shortest) std::abort();  // a field lost its width
  ++check.lines;
  return true;
}

std::string TempName() {
  static const std::string name = "/tmp/fuzz_lister_listing_" + std::to_string(getpid());
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string path = TempName();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return 0;
  if (size > 0) std::fwrite(data, 1, size, out);
  std::fclose(out);

  for (toolkit::SurveyKind kind : lister::kListedKinds) {
    // The mask's own width: the line of an all-zero record.
    toolkit::SurveyFile zero;
    zero.record.fill(0);
    std::string base;
    lister::FormatListingLine(kind, zero, 1, false, base);
    Check check;
    check.shortest = base.size();
    if (kind == toolkit::SurveyKind::Sec) {
      std::string header;
      lister::FormatListingLine(kind, zero, 1, true, header);
      check.shortest = std::min(base.size(), header.size());
    }

    toolkit::SurveyFile file;
    if (toolkit::OpenSurveyFileNamed(file, path, kind) != toolkit::OpenResult::Ok) continue;
    // The printer's one pass, from record 1 to the end of the file.
    lister::ListerState state;
    state.currentRecord = 1;
    state.lastRecord = file.recordCount;
    lister::ListInOnePass(state, kind, file, CheckLine, &check);
    // Screen pages of twenty from record 1, and one page started inside the file.
    lister::ListerState screen;
    screen.currentRecord = 1;
    for (int page = 0; page < 8 && screen.currentRecord <= file.recordCount; ++page) {
      lister::ListPage(screen, kind, file, CheckLine, &check);
      screen.currentRecord += 1;
    }
    screen.currentRecord = 3;
    screen.expectHeader = 0;
    lister::ListPage(screen, kind, file, CheckLine, &check);
    toolkit::CloseSurveyFile(file);
  }
  std::remove(path.c_str());
  return 0;
}
