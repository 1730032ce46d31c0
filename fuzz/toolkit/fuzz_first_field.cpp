// FirstField over arbitrary lines: the result is a piece of the line, without the blanks
// around it and, unless quoted, without a comma.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "toolkit/first_field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::string field = toolkit::FirstField(line);
  FUZZ_CHECK(field.size() <= line.size());
  FUZZ_CHECK(line.find(field) != std::string_view::npos);
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    FUZZ_CHECK(field.empty());
    return 0;
  }
  if (line[start] == '"') {
    FUZZ_CHECK(field.find('"') == std::string::npos);
    FUZZ_CHECK(line.substr(start + 1, field.size()) == field);
  } else {
    FUZZ_CHECK(field.find(',') == std::string::npos);
    FUZZ_CHECK(line.substr(start, field.size()) == field);
    if (!field.empty()) {
      FUZZ_CHECK(field.front() != ' ' && field.front() != '\t');
      FUZZ_CHECK(field.back() != ' ' && field.back() != '\t');
    }
  }
  return 0;
}
