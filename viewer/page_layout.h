#pragma once
// Page layout arithmetic of the viewer (no Qt): default settings, the page image
// geometry, wrapping the document into page lines, page labels and headings, the page
// view's fit and zoom, and the canvas's scroll bars. Text is UTF-16 (as the window
// holds it); widths come from a function the caller passes in, in whole pixels.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/page_settings.h"

namespace viewer {

// Nearest whole number, halves to the even neighbour, in 80-bit arithmetic. A NaN reads
// as 0 and values beyond +-2^62 are held at that bound, so no cast is ever undefined.
std::int64_t RoundEven(long double x);

// The start-up part of the settings that needs no printer: margins from the locale's
// measurement system (1: 20.32 mm = 0.8 inch on every side, otherwise 20 mm) and the
// font "Courier New" 10 points, no style.
void SetDefaultMarginsAndFont(PageSettings& s, int measurementSystem);
// Stores a face name, cut to maxLength bytes (63 fits the record).
void SetFontName(PageSettings& s, std::string_view name, std::size_t maxLength = 63);
// The face name as the font is created from it: cut to 31 characters.
std::string FontFaceForCreation(const PageSettings& s);

// Paper, image and margin geometry of a preview, once the screen resolutions are set:
// without a printer the paper becomes U.S. letter (measurement system 1) or A4 at the
// screen's resolution, portrait; then image size, margin pixels and text area.
// Returns the page image's size in whole pixels (at least 1 x 1).
struct PixelSize {
  int width;
  int height;
};
PixelSize ComputePageImage(PageSettings& s);

// Text lines that fit the text height: round(text height) / round(cell height),
// truncated. Margins and a font that leave no room for one line give 1 with fits false.
struct LinesPerPageResult {
  int lines;
  bool fits;
};
LinesPerPageResult LinesPerPageOf(float textHeight, int cellHeight);

// The text area on paper in the settings' printer pixels: the paper less the four
// margins. Unlike the screen's text width it has no 2 pixels to spare, so that nothing
// wrapped to it crosses a margin on paper.
struct PaperTextArea {
  double width;
  double height;
};
PaperTextArea PaperTextAreaOf(const PageSettings& s);
// Whole lines of a line pitch (a real, in the same pixels) that fit a text height. No
// room for one line gives 1 with fits false.
LinesPerPageResult LinesOnPaper(double textHeight, double pitch);

// Width of a piece of text in whole pixels.
using TextWidthFn = std::function<int(std::u16string_view)>;

// Splits the text at every CR LF (a missing final CR LF is added first, so m ended
// lines give m + 1 elements, the last one empty) and wraps each element to textWidth:
// a piece up to the last blank that fits goes on one line and the rest is wrapped in
// turn; a piece with no fitting blank is cut to its longest fitting start and the rest
// is dropped; a piece whose first character does not fit stays as it is. An empty text
// wraps the lines already held again. Returns the page count
// (elements / linesPerPage + 1). Linear in the text: widths are assumed to grow with
// the length of a piece, as they do for text in a font.
int WrapLines(const TextWidthFn& width, double textWidth, std::u16string_view text,
              std::vector<std::u16string>& lines, int linesPerPage);

// Pages of a given number of elements.
int PageCountOf(std::size_t elements, int linesPerPage);

// First and last element (1-based, inclusive) shown on page n.
struct LineRange {
  std::int64_t first;
  std::int64_t last;
};
LineRange PageLineRange(int page, int linesPerPage, std::size_t elements);

// "Page" + NumberText(n) + "/" + PlainNumberText(count): "Page 1/3".
std::string PageLabel(int page, int pageCount);
// The document's name from a window caption: the text after its last "\" or "/",
// blanks trimmed; "Untitled" when the caption holds neither character.
std::u16string NameFromCaption(std::u16string_view caption);
// name + "  |  " + label + "  |  " + date + ", " + time.
std::u16string PageHeading(std::u16string_view name, std::string_view label, std::string_view date,
                           std::string_view time);

// Zoom step: fit (0) -> 75 -> 100 -> fit.
int NextZoom(int zoom);

// The page view's size and place in a canvas of client size cw x ch for the current
// zoom (landscape fits by width first, portrait by height first), and the total size
// the canvas scrolls over.
struct ViewPlacement {
  float viewWidth;
  float viewHeight;
  int x0;
  int y0;
  std::int64_t totalWidth;
  std::int64_t totalHeight;
};
ViewPlacement PlacePageView(const PageSettings& s, int cw, int ch);
// View scales and margin guides of the laid-out view (fields 16 to 19, 34, 35).
void SetViewGuides(PageSettings& s);

// Scroll bars of the canvas: the client size that results from bars coming or going,
// and each bar's range (0 .. max) and page size. A bar shows while max + 1 > page.
struct ScrollRanges {
  int clientWidth;
  int clientHeight;
  std::int64_t hMax;
  int hPage;
  std::int64_t vMax;
  int vPage;
  bool hShown;
  bool vShown;
};
ScrollRanges ComputeScrollRanges(int cw, int ch, std::int64_t totalWidth, std::int64_t totalHeight,
                                 bool hShown, bool vShown, int hBarHeight, int vBarWidth);

// The furthest position of a bar of range 0 .. max with the given page size.
std::int64_t MaxScrollPosition(std::int64_t max, int page);

// New position of one bar after a zoom step, keeping the clicked part of the page in
// view. position, max and page are the bar's after its range was set; click is the
// click point's coordinate along the bar; clientSize the canvas's client size along it;
// viewSize the new view size; previousView the size remembered from the last layout
// (0 at first; updated here). vertical selects the vertical bar's rule for position 0.
std::int64_t PlaceScrollPosition(std::int64_t position, std::int64_t max, int page, int click,
                                 int clientSize, float viewSize, int& previousView, bool fitMode,
                                 bool vertical);

// A scroll request of a bar: line (+-10 pixels), page (+- page size) or thumb (the
// tracked position); the result is clamped to the bar's positions.
enum class ScrollRequest { LineBack, LineForward, PageBack, PageForward, Thumb };
std::int64_t ScrollTo(ScrollRequest request, std::int64_t position, std::int64_t max, int page,
                      std::int64_t tracked = 0);

// Where the printed text starts, in printer pixels from the corner of the printable
// area: the margins less the unprintable edges, rounded.
struct PrintOrigin {
  std::int64_t left;
  std::int64_t top;
};
PrintOrigin PrintOriginOf(const PageSettings& s);

// True when two settings hold the same paper and printable area: paper size and the
// four unprintable edges agree within half a point (each in its own resolution), and
// the orientation is the same. Settings without a printer resolution match nothing.
bool SamePaper(const PageSettings& a, const PageSettings& b);

// Margins as the page setup dialog takes them: thousandths of an inch for U.S. units,
// hundredths of a millimetre otherwise, rounded; and back to millimetres.
std::int64_t MarginToDialog(float millimetres, int measurementSystem);
float MarginFromDialog(std::int64_t value, int measurementSystem);

}  // namespace viewer
