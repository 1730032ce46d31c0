// 24-bit uncompressed Windows bitmap writer.
//
// The whole file is checked for size before anything is opened, so that a picture that
// cannot be stored leaves an existing file untouched. Rows are written bottom-up, one
// padded row at a time, in blue-green-red order.
#include "platform/bitmap_file.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace platform {

namespace {

void Put16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>(v >> 8);
}

void Put32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

bool SaveBitmap24(const std::string& fileName, int width, int height, const std::uint32_t* pixels,
                  int stridePixels) {
  if (width <= 0 || height <= 0 || pixels == nullptr || stridePixels < width) return false;
  if (fileName.empty() || fileName.find('\0') != std::string::npos) return false;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * 3 + 3) / 4 * 4;
  const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(height);
  const std::uint64_t fileSize = 54 + pixelBytes;
  if (fileSize > std::numeric_limits<std::uint32_t>::max()) return false;

  unsigned char header[54] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, static_cast<std::uint32_t>(fileSize));
  Put32(header + 6, 0);
  Put32(header + 10, 54);
  Put32(header + 14, 40);
  Put32(header + 18, static_cast<std::uint32_t>(width));
  Put32(header + 22, static_cast<std::uint32_t>(height));
  Put16(header + 26, 1);
  Put16(header + 28, 24);
  // Compression, image size, both resolutions and both colour counts stay zero.

  std::FILE* f = std::fopen(fileName.c_str(), "wb");  // "wb" cuts an existing file
  if (f == nullptr) return false;
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes), 0);
  for (int y = height - 1; ok && y >= 0; --y) {
    const std::uint32_t* src =
        pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stridePixels);
    unsigned char* dst = row.data();
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = src[x];
      *dst++ = static_cast<unsigned char>(p & 0xFF);          // blue
      *dst++ = static_cast<unsigned char>((p >> 8) & 0xFF);   // green
      *dst++ = static_cast<unsigned char>((p >> 16) & 0xFF);  // red
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

}  // namespace platform
