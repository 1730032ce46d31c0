#pragma once
// 24-bit uncompressed Windows bitmap writer (no Qt). Layout: 14-byte file header
// ("BM", file size = 54 + pixel bytes, reserved 0, offset 54), 40-byte information header
// (size 40, width, positive height so rows run bottom-up, 1 plane, 24 bits, no compression,
// zero image size, resolutions and colour counts), then rows bottom to top in
// blue-green-red order, each padded with zero bytes to a multiple of 4.
#include <cstdint>
#include <string>

namespace platform {

// pixels: width*height values 0x00RRGGBB (top row first), stride in pixels.
// An existing file of that name is overwritten and cut to the new length.
// Returns false when the file cannot be written (nothing else is changed).
bool SaveBitmap24(const std::string& fileName, int width, int height, const std::uint32_t* pixels,
                  int stridePixels);

}  // namespace platform
