// The preview's grey canvas with its scroll bars, and the page view on it.
#include "viewer/preview_canvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "viewer/page_image.h"
#include "viewer/page_layout.h"
#include "viewer/preview.h"
#include "viewer/viewer_art.h"

namespace viewer {

namespace {

int ScrollBarExtent(const QWidget* w) {
  return w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
}

}  // namespace

int& PreviousViewWidth() {
  static int w = 0;
  return w;
}
int& PreviousViewHeight() {
  static int h = 0;
  return h;
}

// --- page view --------------------------------------------------------------------

PageView::PageView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void PageView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, picture);
}

void PageView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(e);
    return;
  }
  // The click point in the canvas's client coordinates.
  emit pressed(mapTo(parentWidget(), e->position().toPoint()));
}

void PageView::mouseMoveEvent(QMouseEvent* e) {
  if (cursor().shape() != Qt::BitmapCursor) setCursor(ZoomCursor());
  QWidget::mouseMoveEvent(e);
}

// --- canvas -----------------------------------------------------------------------

ViewerCanvas::ViewerCanvas(PreviewWindow* preview, PageSettings& settings, QWidget* parent)
    : QWidget(parent), preview_(preview), settings_(settings) {
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("canvasClient"));
  client_->setAutoFillBackground(true);
  view_ = new PageView(client_);
  view_->setObjectName(QStringLiteral("pageView"));
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  hbar_->setObjectName(QStringLiteral("canvasHorizontalBar"));
  vbar_->setObjectName(QStringLiteral("canvasVerticalBar"));
  for (QScrollBar* bar : {hbar_, vbar_}) {
    bar->setSingleStep(10);
    bar->setRange(0, 0);
    bar->hide();
    connect(bar, &QScrollBar::valueChanged, this, [this] { followBars(); });
  }
  corner_ = new QWidget(this);
  corner_->setAutoFillBackground(true);
  corner_->hide();
}

QSize ViewerCanvas::clientSize() const {
  const int ext = ScrollBarExtent(this);
  return QSize(std::max(width() - (vShown_ ? ext : 0), 0),
               std::max(height() - (hShown_ ? ext : 0), 0));
}

void ViewerCanvas::setBars(std::int64_t hMax, int hPage, bool hShown, std::int64_t vMax, int vPage,
                           bool vShown) {
  hMax_ = hMax;
  vMax_ = vMax;
  hPage_ = hPage;
  vPage_ = vPage;
  hShown_ = hShown;
  vShown_ = vShown;
  const auto clampInt = [](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, 1 << 30));
  };
  hbar_->setRange(0, clampInt(MaxScrollPosition(hMax, hPage)));
  hbar_->setPageStep(std::max(hPage, 1));
  vbar_->setRange(0, clampInt(MaxScrollPosition(vMax, vPage)));
  vbar_->setPageStep(std::max(vPage, 1));
  layoutBars();
}

void ViewerCanvas::layoutBars() {
  const int ext = ScrollBarExtent(this);
  const QSize c = clientSize();
  client_->setGeometry(0, 0, c.width(), c.height());
  hbar_->setGeometry(0, c.height(), c.width(), ext);
  vbar_->setGeometry(c.width(), 0, ext, c.height());
  corner_->setGeometry(c.width(), c.height(), ext, ext);
  hbar_->setVisible(hShown_);
  vbar_->setVisible(vShown_);
  corner_->setVisible(hShown_ && vShown_);
}

void ViewerCanvas::setViewOrigin(QPoint origin) {
  origin_ = origin;
  followBars();
}

void ViewerCanvas::followBars() {
  view_->move(origin_.x() - hbar_->value(), origin_.y() - vbar_->value());
}

void ViewerCanvas::resizeEvent(QResizeEvent*) { layoutBars(); }

void ViewerCanvas::wheelEvent(QWheelEvent* e) {
  // The system's wheel setting: lines a notch, 1 when it says 0; below 0 a page a notch.
  int lines = QApplication::wheelScrollLines();
  if (lines == 0) lines = 1;
  const bool horizontal = (e->buttons() & Qt::MiddleButton) != 0 ||
                          (e->angleDelta().y() == 0 && e->angleDelta().x() != 0);
  const int delta = e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
  // One wheel message a notch of 120; finer wheels add up to a notch first.
  wheelRest_ += delta;
  e->accept();
  while (wheelRest_ >= 120 || wheelRest_ <= -120) {
    const bool away = wheelRest_ > 0;  // turned away from the user: up or left
    wheelRest_ += away ? -120 : 120;
    QScrollBar* bar = horizontal ? hbar_ : vbar_;
    const std::int64_t max = horizontal ? hMax_ : vMax_;
    const int page = horizontal ? hPage_ : vPage_;
    std::int64_t pos = bar->value();
    if (lines < 0) {
      pos = ScrollTo(away ? ScrollRequest::PageBack : ScrollRequest::PageForward, pos, max, page);
    } else {
      const int steps = horizontal ? 1 : lines;
      for (int k = 0; k < steps; ++k)
        pos = ScrollTo(away ? ScrollRequest::LineBack : ScrollRequest::LineForward, pos, max, page);
    }
    bar->setValue(static_cast<int>(pos));
  }
}

// --- scroll bars and layout -------------------------------------------------------

void SetScrollRanges(ViewerCanvas& canvas, std::int64_t totalWidth, std::int64_t totalHeight) {
  const QSize c = canvas.clientSize();
  const int ext = ScrollBarExtent(&canvas);
  const ScrollRanges r = ComputeScrollRanges(c.width(), c.height(), totalWidth, totalHeight,
                                             canvas.hShown(), canvas.vShown(), ext, ext);
  canvas.setBars(r.hMax, r.hPage, r.hShown, r.vMax, r.vPage, r.vShown);
}

void PlaceScrollPositions(ViewerCanvas& canvas) {
  PageSettings& s = canvas.settings();
  const QSize c = canvas.clientSize();
  const bool fit = s.zoom == 0;
  const std::int64_t h =
      PlaceScrollPosition(canvas.horizontalBar()->value(), canvas.hRangeMax(), canvas.hPageSize(),
                          s.clickX, c.width(), s.viewWidth, PreviousViewWidth(), fit, false);
  const std::int64_t v =
      PlaceScrollPosition(canvas.verticalBar()->value(), canvas.vRangeMax(), canvas.vPageSize(),
                          s.clickY, c.height(), s.viewHeight, PreviousViewHeight(), fit, true);
  canvas.horizontalBar()->setValue(static_cast<int>(h));
  canvas.verticalBar()->setValue(static_cast<int>(v));
  if (fit) {
    s.clickX = 0;
    s.clickY = 0;
  }
}

void LayoutPageView(ViewerCanvas& canvas, const PageLines& lines) {
  (void)lines;  // the page image already holds the current page
  PageSettings& s = canvas.settings();
  canvas.setUpdatesEnabled(false);
  QPalette pal = canvas.client()->palette();
  pal.setColor(QPalette::Window, ColourOf(s.shadowColour));
  canvas.client()->setPalette(pal);

  // Twice: the second pass sees the client size after the bars have come or gone.
  ViewPlacement v{};
  for (int pass = 0; pass < 2; ++pass) {
    const QSize c = canvas.clientSize();
    v = PlacePageView(s, c.width(), c.height());
    SetScrollRanges(canvas, v.totalWidth, v.totalHeight);
  }
  s.viewWidth = v.viewWidth;
  s.viewHeight = v.viewHeight;
  const int vw = static_cast<int>(std::clamp<std::int64_t>(RoundEven(v.viewWidth), 1, 30000));
  const int vh = static_cast<int>(std::clamp<std::int64_t>(RoundEven(v.viewHeight), 1, 30000));
  SetViewGuides(s);

  QImage picture(vw, vh, QImage::Format_RGB32);
  picture.fill(ColourOf(s.windowColour));
  {
    QPainter p(&picture);
    // The page image stretched onto the view.
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(0, 0, vw, vh), canvas.pageImage, canvas.pageImage.rect());
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Lines end one pixel short of their second point.
    const auto line = [&p](int x1, int y1, int x2, int y2) {
      const int dx = x2 > x1 ? -1 : (x2 < x1 ? 1 : 0);
      const int dy = y2 > y1 ? -1 : (y2 < y1 ? 1 : 0);
      p.drawLine(x1, y1, x2 + dx, y2 + dy);
    };
    // Dotted margin guides.
    QPen dotted(ColourOf(s.shadowColour), 1, Qt::DotLine);
    p.setPen(dotted);
    const int lg = static_cast<int>(RoundEven(s.viewLeftGuide));
    const int rg = static_cast<int>(RoundEven(s.viewRightGuide));
    const int tg = static_cast<int>(RoundEven(s.viewTopGuide));
    const int bg = static_cast<int>(RoundEven(s.viewBottomGuide));
    line(lg, 6, lg, vh - 6);
    line(rg, 6, rg, vh - 6);
    line(6, tg, vw - 6, tg);
    line(6, bg, vw - 6, bg);
    // Frame, then the drop shadow, two pixels wide.
    p.setPen(QPen(ColourOf(s.frameColour), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, vw - 4.0, vh - 4.0));
    p.setPen(QPen(ColourOf(s.darkShadowColour), 2, Qt::SolidLine, Qt::FlatCap));
    line(vw - 1, 2, vw - 1, vh);
    line(2, vh - 1, vw, vh - 1);
    p.setPen(QPen(ColourOf(s.shadowColour), 2, Qt::SolidLine, Qt::FlatCap));
    line(vw - 1, -1, vw - 1, 2);
    line(-1, vh - 1, 2, vh - 1);
  }
  canvas.view()->picture = picture;
  canvas.view()->resize(vw, vh);
  canvas.view()->show();
  canvas.setViewOrigin(QPoint(v.x0, v.y0));
  PlaceScrollPositions(canvas);
  canvas.setUpdatesEnabled(true);
  canvas.update();
  canvas.view()->update();
}

}  // namespace viewer
