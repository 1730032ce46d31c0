// Fuzz target: arbitrary bytes as a survey file of the kind the first byte chooses (DAT,
// NEH, SEC, STN, CHG, PTS, SOL), read row by row through surveyexport's table reader.
// Checks that every step ends (rows numbered upward, within the file's records) and that
// a row's texts are what a table can hold: at most 8 characters (16 bytes of UTF-8), no
// control characters.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "export/table_export.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// One file of this process, rewritten for each input.
const std::string& ScratchPath(toolkit::SurveyKind kind) {
  static std::string paths[7];
  std::string& p = paths[static_cast<int>(kind)];
  if (p.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    p = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-table-" + std::to_string(getpid()) +
        toolkit::KindExtension(kind);
  }
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 40 * 2048) return 0;
  const auto kind = static_cast<toolkit::SurveyKind>(data[0] % 7);
  const std::string& path = ScratchPath(kind);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);

  surveyexport::TableReader reader;
  if (reader.Open(path, kind).empty()) {
    Check(reader.RecordCount() ==
          static_cast<std::int64_t>((size - 1) / toolkit::RecordLength(kind)));
    surveyexport::TableRow row;
    std::int64_t last = 0;
    for (std::int64_t steps = 0;; ++steps) {
      Check(steps <= reader.RecordCount());
      const auto step = reader.Next(&row);
      if (step == surveyexport::TableReader::Step::End) break;
      Check(step != surveyexport::TableReader::Step::Failed);  // the file does not change
      Check(row.record > last && row.record <= reader.RecordCount());
      last = row.record;
      for (const std::string& t : row.texts) {
        Check(t.size() <= 16);
        for (const char c : t) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
      }
    }
  }
  std::remove(path.c_str());
  return 0;
}
