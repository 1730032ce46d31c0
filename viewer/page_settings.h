#pragma once
// The one settings record that the page layout, the preview, printing and the margin
// and font commands share (no Qt). "single" fields are 32-bit floats as in the record;
// margins are always millimetres, printer fields printer pixels, view and image fields
// screen pixels.
#include <cstdint>

namespace viewer {

struct PageSettings {
  float pageWidth = 0;                  // physical paper width, printer pixels
  float pageHeight = 0;                 // physical paper height, printer pixels
  float leftMargin = 0;                 // millimetres from the paper's left edge
  float topMargin = 0;                  // millimetres
  float rightMargin = 0;                // millimetres
  float bottomMargin = 0;               // millimetres
  float unprintableLeft = 0;            // printer pixels the printer cannot reach, left edge
  float unprintableTop = 0;             // printer pixels, top edge
  float unprintableRight = 0;           // printer pixels, right edge
  float unprintableBottom = 0;          // printer pixels, bottom edge
  std::int32_t orientation = 0;         // 1 portrait, 2 landscape (as the printer says)
  std::int32_t printerResolutionX = 0;  // printer pixels per inch across
  std::int32_t printerResolutionY = 0;  // printer pixels per inch down
  float viewWidth = 0;                  // page view at the current zoom, screen pixels
  float viewHeight = 0;
  float viewLeftGuide = 0;  // x of the left margin guide in the page view
  float viewTopGuide = 0;
  float viewRightGuide = 0;
  float viewBottomGuide = 0;
  float imageWidth = 0;  // page width in screen pixels at 100 %
  float imageHeight = 0;
  float textWidth = 0;  // width available for text, screen pixels
  float textHeight = 0;
  float leftMarginPixels = 0;  // margins in screen pixels at 100 %
  float topMarginPixels = 0;
  float rightMarginPixels = 0;
  float bottomMarginPixels = 0;
  std::int32_t screenResolutionX = 0;  // screen pixels per inch across
  std::int32_t screenResolutionY = 0;
  std::int32_t measurementSystem = 0;  // 1 U.S. units, 0 metric
  std::int32_t linesPerPage = 0;       // text lines that fit the text height (>= 1 once laid out)
  std::int32_t pageCount = 0;          // pages of the current preview
  std::int32_t zoom = 0;               // 0 fit, 75 or 100 percent of the true size
  float viewScaleX = 0;                // view width / image width
  float viewScaleY = 0;
  std::uint32_t windowColour = 0;  // 0xRRGGBB
  std::uint32_t windowTextColour = 0;
  std::uint32_t shadowColour = 0;
  std::uint32_t darkShadowColour = 0;
  std::uint32_t frameColour = 0x3169C6;  // RGB (49, 105, 198)
  std::int32_t fontSize = 0;             // points
  std::int32_t fontStyle = 0;            // 1 bold, 2 italic, 4 underline, 8 strike-out
  char fontName[64] = {};                // zero-terminated face name
  std::int32_t clickX = 0;               // last left click in the canvas, client pixels
  std::int32_t clickY = 0;
};

enum FontStyleBits : std::int32_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrikeOut = 8,
};

}  // namespace viewer
