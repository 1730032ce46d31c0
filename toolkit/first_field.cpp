// The first field of a typed answer.
#include "toolkit/first_field.h"

namespace toolkit {

std::string FirstField(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
  if (p < line.size() && line[p] == '"') {
    // A quoted answer keeps everything up to the closing quote, commas and blanks too;
    // an answer with no closing quote runs to the end of the line.
    const std::size_t close = line.find('"', p + 1);
    const std::size_t end = close == std::string_view::npos ? line.size() : close;
    return std::string(line.substr(p + 1, end - p - 1));
  }
  std::size_t end = line.find(',', p);
  if (end == std::string_view::npos) end = line.size();
  while (end > p && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  return std::string(line.substr(p, end - p));
}

}  // namespace toolkit
