#pragma once
// The print preview: a modal window with a toolbar (Print, page navigation, the page
// label, Zoom, Close) over a grey canvas that scrolls a picture of one paper page
// (preview_canvas.h); printing of the document is in preview_print.h.
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

#include "viewer/page_settings.h"
#include "viewer/preview_canvas.h"
#include "viewer/preview_print.h"

class QLabel;
class QPrinter;
class QPushButton;

namespace viewer {

class PreviewWindow : public QDialog {
  Q_OBJECT
 public:
  PreviewWindow(QWidget* owner, const QString& caption, const QString& text,
                PageSettings& settings);

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
void ShowPreview(QWidget* owner, const QString& caption, const QString& text,
                 PageSettings& settings);

}  // namespace viewer
