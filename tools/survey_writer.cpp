// Writes survey data files for the samples and the tests.
#include "tools/survey_writer.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace surveywriter {

namespace {

void AppendDouble(std::string& out, double v) {
  unsigned char bytes[8];
  std::memcpy(bytes, &v, 8);
  if constexpr (std::endian::native == std::endian::big) {
    for (int k = 0; k < 4; ++k) std::swap(bytes[k], bytes[7 - k]);
  }
  out.append(reinterpret_cast<const char*>(bytes), 8);
}

}  // namespace

bool SurveyFileBytes(const std::vector<Record>& records, int recordLength, std::string* bytes) {
  bytes->clear();
  if (recordLength <= 0) return false;
  bytes->reserve(records.size() * static_cast<std::size_t>(recordLength));
  for (const Record& record : records) {
    std::string one;
    for (const Field& field : record) {
      if (const double* d = std::get_if<double>(&field)) {
        AppendDouble(one, *d);
      } else {
        std::string text = std::get<std::string>(field).substr(0, 8);
        text.resize(8, ' ');
        one += text;
      }
    }
    if (one.size() > static_cast<std::size_t>(recordLength)) return false;
    one.resize(static_cast<std::size_t>(recordLength), '\0');
    *bytes += one;
  }
  return true;
}

bool WriteSurveyFile(const std::string& path, const std::vector<Record>& records,
                     int recordLength) {
  std::string bytes;
  return SurveyFileBytes(records, recordLength, &bytes) && WriteBytes(path, bytes);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

std::string TextNumber(double value, int decimals) {
  // Right-aligned in 8 characters; fewer decimals when the number would not fit.
  for (int d = decimals < 0 ? 0 : decimals; d >= 0; --d) {
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, d);
    if (r.ec != std::errc()) continue;
    const std::size_t n = static_cast<std::size_t>(r.ptr - buffer);
    if (n <= 8) return std::string(8 - n, ' ') + std::string(buffer, n);
  }
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 1);
  std::string text(buffer, r.ptr);
  text.resize(8, ' ');
  return text;
}

double PackHeight(double height, int code) {
  const double s = code * 10000.0 + std::fabs(height);
  return height < 0 ? -s : s;
}

}  // namespace surveywriter
