#pragma once
// The viewer's own pictures: the program icon "APPICON" (16 x 16, 16 colours: a white
// page with a folded corner and a magnifying glass over its lower right part) and the
// cursor "ZOOM" (32 x 32, black outlines on a transparent ground: a magnifying glass
// above a framed box with the word ZOOM, hot spot (10, 8) at the lens centre).
#include <QCursor>
#include <QIcon>
#include <QImage>

namespace viewer {

QImage AppIconImage();
QIcon AppIcon();
QImage ZoomCursorImage();
QCursor ZoomCursor();
constexpr int kZoomHotX = 10;
constexpr int kZoomHotY = 8;

}  // namespace viewer
