#pragma once
// Dialog units of the dialog font "MS Sans Serif" 8 pt: 4 units across make 6 pixels,
// 8 units down make 13 pixels. Results are rounded to the nearest pixel.
#include <cmath>

namespace platform {

inline int DuToPxX(int du) { return static_cast<int>(std::lround(du * 6.0 / 4.0)); }
inline int DuToPxY(int du) { return static_cast<int>(std::lround(du * 13.0 / 8.0)); }

}  // namespace platform
