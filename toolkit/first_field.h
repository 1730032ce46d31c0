#pragma once
// The answer to a prompt as the tools use it (no Qt): leading blanks skipped; a field in
// double quotes runs to the next double quote; otherwise up to the first comma with
// trailing blanks removed. "a, b" -> "a". Blanks are spaces and tabs. A quoted field with
// no closing quote runs to the end of the line; inside quotes blanks are kept.
#include <string>
#include <string_view>

namespace toolkit {

std::string FirstField(std::string_view line);

}  // namespace toolkit
