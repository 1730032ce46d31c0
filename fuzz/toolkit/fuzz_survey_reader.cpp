// Survey files of arbitrary contents for each of the seven kinds: the first input byte
// chooses the kind, the rest is the file. Every record and every field decoding is
// exercised, and the reader must return exactly the file's bytes, zero-filled past the end.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "fuzz_check.h"
#include "toolkit/survey_files.h"

using namespace toolkit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const SurveyKind kinds[] = {SurveyKind::Dat, SurveyKind::Neh, SurveyKind::Sec, SurveyKind::Stn,
                              SurveyKind::Chg, SurveyKind::Pts, SurveyKind::Sol};
  const SurveyKind kind = kinds[data[0] % 7];
  const uint8_t* bytes = data + 1;
  const std::size_t length = size - 1;
  static const std::string base = "/tmp/fuzz_survey_reader_" + std::to_string(getpid());
  const std::string full = base + KindExtension(kind);
  std::FILE* f = std::fopen(full.c_str(), "wb");
  if (f == nullptr) return 0;
  if (length > 0) std::fwrite(bytes, 1, length, f);
  std::fclose(f);

  SurveyFile file;
  FUZZ_CHECK(OpenSurveyFile(file, base, kind) == OpenResult::Ok);
  const int len = RecordLength(kind);
  FUZZ_CHECK(file.recordCount == static_cast<double>(length) / len);
  const std::int64_t last = static_cast<std::int64_t>(length / len) + 2;
  const std::int64_t order[] = {0, -1, INT64_MIN, INT64_MAX, last + 1000};
  for (std::int64_t r : order) {
    FUZZ_CHECK(ReadRecord(file, r));
    for (int i = 0; i < 40; ++i) FUZZ_CHECK(file.record[i] == 0);
  }
  for (std::int64_t r = 1; r <= last; ++r) {
    FUZZ_CHECK(ReadRecord(file, r));
    const std::size_t start = static_cast<std::size_t>(r - 1) * len;
    for (int i = 0; i < 40; ++i) {
      const std::size_t at = start + i;
      const uint8_t expect = (i < len && at < length) ? bytes[at] : 0;
      FUZZ_CHECK(file.record[i] == expect);
    }
    for (int i = 0; i <= 6; ++i) {
      const std::string text = FieldText(file, i);
      FUZZ_CHECK(text.size() == (i >= 1 && i <= 5 ? 8u : 0u));
      const std::string trimmed = FieldTextTrimmed(file, i);
      FUZZ_CHECK(trimmed.size() <= text.size() && text.compare(0, trimmed.size(), trimmed) == 0);
      const double b = FieldBinary(file, i);
      if (i >= 1 && i <= 5) {
        double expect;
        std::memcpy(&expect, file.record.data() + (i - 1) * 8, 8);
        FUZZ_CHECK(std::memcmp(&b, &expect, 8) == 0);
      }
      const double n = FieldNumber(file, i);
      FUZZ_CHECK(!std::isnan(n));
      if (i >= 1 && i <= 5) FUZZ_CHECK(n == ReadTextNumber(text.data(), 8));
      const PackedHeight p = DecodePackedHeight(b);
      if (std::isfinite(b)) {
        FUZZ_CHECK(p.code >= 0 && p.code == std::trunc(p.code));
        FUZZ_CHECK(std::fabs(p.height) < 10000.0);
      } else {
        FUZZ_CHECK(std::isnan(p.height) && p.code == 0);
      }
    }
    const bool empty = IsEmptyRecord(file);
    if (kind == SurveyKind::Pts) FUZZ_CHECK(!empty);
    if (kind == SurveyKind::Sec) {
      FUZZ_CHECK(empty == (FieldNumber(file, 1) == 0 && FieldNumber(file, 2) == 0));
      FUZZ_CHECK(IsSecTerminator(file) == (FieldNumber(file, 1) == 999));
    } else if (kind != SurveyKind::Pts) {
      FUZZ_CHECK(empty == (FieldBinary(file, 2) == 0 && FieldBinary(file, 3) == 0));
    }
  }
  // Backwards and again: the same bytes whatever the order of reading.
  if (length >= static_cast<std::size_t>(len)) {
    FUZZ_CHECK(ReadRecord(file, 1));
    FUZZ_CHECK(std::memcmp(file.record.data(), bytes, static_cast<std::size_t>(len)) == 0);
  }
  CloseSurveyFile(file);
  FUZZ_CHECK(file.handle == nullptr);
  std::remove(full.c_str());
  return 0;
}
