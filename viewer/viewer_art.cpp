// Pixel art of the viewer's icon and zoom cursor.
#include "viewer/viewer_art.h"

#include <QPixmap>
#include <cmath>

namespace viewer {

namespace {

// The icon, one character a pixel:
//   . transparent  K black  W white  G grey (text on the page)  S silver (fold)
//   C cyan (lens glass)  N navy (lens rim)  Y dark yellow (handle)
const char* const kIcon[16] = {
    "..KKKKKKKKK.....", "..KWWWWWWWKK....", "..KWGGGGGWKSK...", "..KWWWWWWWKSSK..",
    "..KWGGGGGWKKKKK.", "..KWWWWWWWWWWWK.", "..KWGGGGGGGGGWK.", "..KWWWWWNNNWWWK.",
    "..KWGGGNCCCNGWK.", "..KWWWNCCWCCNWK.", "..KWGGNCCCCCNWK.", "..KWWWNCCCCCNWK.",
    "..KWWWWNCCCNYWK.", "..KKKKKKNNNKKYY.", ".............YYY", "..............YY",
};

QRgb IconColour(char c) {
  switch (c) {
    case 'K':
      return qRgba(0, 0, 0, 255);
    case 'W':
      return qRgba(255, 255, 255, 255);
    case 'G':
      return qRgba(128, 128, 128, 255);
    case 'S':
      return qRgba(192, 192, 192, 255);
    case 'C':
      return qRgba(0, 255, 255, 255);
    case 'N':
      return qRgba(0, 0, 128, 255);
    case 'Y':
      return qRgba(128, 128, 0, 255);
    default:
      return qRgba(0, 0, 0, 0);
  }
}

// Capitals of the word ZOOM, 5 pixels wide and 7 high.
const char* const kGlyphZ[7] = {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"};
const char* const kGlyphO[7] = {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."};
const char* const kGlyphM[7] = {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"};

}  // namespace

QImage AppIconImage() {
  QImage img(16, 16, QImage::Format_ARGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) img.setPixel(x, y, IconColour(kIcon[y][x]));
  return img;
}

QIcon AppIcon() { return QIcon(QPixmap::fromImage(AppIconImage())); }

QImage ZoomCursorImage() {
  QImage img(32, 32, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  const QRgb black = qRgba(0, 0, 0, 255);
  const auto set = [&](int x, int y) {
    if (x >= 0 && x < 32 && y >= 0 && y < 32) img.setPixel(x, y, black);
  };
  // The lens: a ring about the hot spot.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const double d = std::hypot(x - kZoomHotX, y - kZoomHotY);
      if (d >= 5.0 && d < 6.5) set(x, y);
    }
  // The handle towards the lower right, three pixels thick.
  for (int k = 0; k < 6; ++k) {
    set(15 + k, 13 + k);
    set(16 + k, 13 + k);
    set(15 + k, 14 + k);
  }
  // The framed box with the word.
  for (int x = 1; x <= 29; ++x) {
    set(x, 20);
    set(x, 30);
  }
  for (int y = 20; y <= 30; ++y) {
    set(1, y);
    set(29, y);
  }
  const char* const* word[4] = {kGlyphZ, kGlyphO, kGlyphO, kGlyphM};
  for (int g = 0; g < 4; ++g)
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 5; ++x)
        if (word[g][y][x] == '#') set(4 + g * 6 + x, 22 + y);
  return img;
}

QCursor ZoomCursor() {
  return QCursor(QPixmap::fromImage(ZoomCursorImage()), kZoomHotX, kZoomHotY);
}

}  // namespace viewer
