#pragma once
// The print preview: a modal window with a toolbar (Print, page navigation, the page
// label, Zoom, Close) over a grey canvas that scrolls a picture of one paper page, and
// printing of the document with a heading on every page.
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

#include "viewer/page_settings.h"

class QLabel;
class QPrinter;
class QPushButton;
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
  void setBars(std::int64_t hMax, int hPage, bool hShown, std::int64_t vMax, int vPage, bool vShown);
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

class PreviewWindow : public QDialog {
  Q_OBJECT
 public:
  PreviewWindow(QWidget* owner, const QString& caption, const QString& text, PageSettings& settings);

  // What the window does when it opens: the page image, lines per page, wrapping,
  // page 1 and its layout, the buttons' states and the focus on "&Close".
  void initialise();
  // Lays the document out again on a printer's paper and printable area, already taken
  // into the settings (a printer other than the one the pages were laid out for was
  // chosen to print on), and shows the current page of the new layout.
  void layOutAgain(const QPrinter& printer);

  ViewerCanvas* canvas() const { return canvas_; }
  const PageLines& lines() const { return lines_; }
  int currentPage() const { return page_; }
  QString pageLabelText() const;
  void setPageLabel(const QString& text);
  bool roomForText() const { return roomForText_; }

  QPushButton* printButton() const { return print_; }
  QPushButton* firstButton() const { return first_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* lastButton() const { return last_; }
  QPushButton* zoomButton() const { return zoom_; }
  QPushButton* closeButton() const { return close_; }

  // The commands of the toolbar.
  void goFirst();
  void goPrevious();
  void goNext();
  void goLast();
  void zoomStep();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void pagePressed(QPoint canvasPoint);
  void showPage();
  void placeControls();
  void fitPageLabel();
  // The page image, lines per page and wrapping for the settings' paper, measured with
  // the printer's font metrics (the screen's without a printer); draws the current page.
  void layOut(const QPrinter* printer);

  PageSettings& settings_;
  QString text_;
  PageLines lines_;
  int page_ = 1;
  bool busy_ = false;
  bool initialised_ = false;
  bool roomForText_ = true;
  QLabel* strip_;
  QLabel* pageLabel_;
  QPushButton* print_;
  QPushButton* first_;
  QPushButton* previous_;
  QPushButton* next_;
  QPushButton* last_;
  QPushButton* zoom_;
  QPushButton* close_;
  ViewerCanvas* canvas_;
};

// Builds the preview, runs it modally and returns when it closes. An empty text is
// previewed as a single blank.
void ShowPreview(QWidget* owner, const QString& caption, const QString& text, PageSettings& settings);

// Sizes and draws the page view for the current zoom.
void LayoutPageView(ViewerCanvas& canvas, const PageLines& lines);
// Scroll bar handling of the canvas.
void SetScrollRanges(ViewerCanvas& canvas, std::int64_t totalWidth, std::int64_t totalHeight);
void PlaceScrollPositions(ViewerCanvas& canvas);

// Prints the lines with a heading on every page through the print dialog; called by the
// preview's "&Print". Says so when the machine has no printer at all.
void PrintDocument(PreviewWindow& preview, const PageLines& lines);
// Makes a printer print every page of what it is given: all pages, no page ranges and no
// page set (odd or even pages), whatever a print dialog put on it.
void PrintWholeDocument(QPrinter& printer);

// The previous view size remembered between layouts and previews (process-wide).
int& PreviousViewWidth();
int& PreviousViewHeight();

}  // namespace viewer
