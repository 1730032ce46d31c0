#pragma once
// The preview's canvas: a grey client area that scrolls the page view, a picture of one
// paper page at the current zoom with its margin guides, frame and shadow.
#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/page_settings.h"

class QScrollBar;

namespace viewer {

using PageLines = std::vector<std::u16string>;

class PreviewWindow;

// The page view: the page at the current zoom, with guides, frame and shadow. A left
// press is reported to the preview; the pointer over it is the "ZOOM" cursor.
class PageView : public QWidget {
  Q_OBJECT
 public:
  explicit PageView(QWidget* parent);
  QImage picture;  // what the view shows, view width x view height
 signals:
  void pressed(QPoint canvasPoint);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
};

// The grey canvas: a client area holding the page view, with its own scroll bars that
// show while their range exceeds the visible size. It also holds the hidden page image
// (one page at 100 % screen scale) and the settings font.
class ViewerCanvas : public QWidget {
  Q_OBJECT
 public:
  ViewerCanvas(PreviewWindow* preview, PageSettings& settings, QWidget* parent);

  PreviewWindow* preview() const { return preview_; }
  PageSettings& settings() const { return settings_; }
  QWidget* client() const { return client_; }
  PageView* view() const { return view_; }
  QScrollBar* horizontalBar() const { return hbar_; }
  QScrollBar* verticalBar() const { return vbar_; }
  // Client size: the canvas less the bars that show.
  QSize clientSize() const;
  // Sets the bars' ranges (0 .. max, page size) and shows or hides them.
  void setBars(std::int64_t hMax, int hPage, bool hShown, std::int64_t vMax, int vPage,
               bool vShown);
  std::int64_t hRangeMax() const { return hMax_; }
  std::int64_t vRangeMax() const { return vMax_; }
  int hPageSize() const { return hPage_; }
  int vPageSize() const { return vPage_; }
  bool hShown() const { return hShown_; }
  bool vShown() const { return vShown_; }
  // Places the page view at (x0, y0) less the scroll positions.
  void setViewOrigin(QPoint origin);
  QPoint viewOrigin() const { return origin_; }

  QImage pageImage;  // hidden, image width x image height
  QFont font;        // the settings font
  // Screen pixels from one line to the next on the page image: the printer's line
  // height at screen scale, so that the page shows the lines where they print
  // (0: the font's own cell height on the screen, where there is no printer).
  double linePitch = 0;

 protected:
  void resizeEvent(QResizeEvent*) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void layoutBars();
  void followBars();

  PreviewWindow* preview_;
  PageSettings& settings_;
  QWidget* client_;
  PageView* view_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QWidget* corner_;
  std::int64_t hMax_ = 0;
  std::int64_t vMax_ = 0;
  int hPage_ = 0;
  int vPage_ = 0;
  bool hShown_ = false;
  bool vShown_ = false;
  QPoint origin_;
  int wheelRest_ = 0;
};

// Sizes and draws the page view for the current zoom.
void LayoutPageView(ViewerCanvas& canvas, const PageLines& lines);
// Scroll bar handling of the canvas.
void SetScrollRanges(ViewerCanvas& canvas, std::int64_t totalWidth, std::int64_t totalHeight);
void PlaceScrollPositions(ViewerCanvas& canvas);

// The previous view size remembered between layouts and previews (process-wide).
int& PreviousViewWidth();
int& PreviousViewHeight();

}  // namespace viewer
