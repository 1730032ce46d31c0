#pragma once
// The answer to a prompt as the tools use it (no Qt): leading blanks skipped; a field in
// double quotes runs to the next double quote; otherwise up to the first comma with
// trailing blanks removed. "a, b" -> "a".
#include <string>
#include <string_view>

namespace toolkit {

std::string FirstField(std::string_view line);

}  // namespace toolkit
