// The print preview window, its canvas and page view, and printing.
#include "viewer/preview.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <cmath>

#include "platform/dialog_units.h"
#include "platform/line_printer.h"
#include "viewer/document.h"
#include "viewer/page_image.h"
#include "viewer/page_layout.h"
#include "viewer/viewer_art.h"

namespace viewer {

namespace {

constexpr int kToolbarDu = 16;  // toolbar height, vertical dialog units
constexpr int kButtonDu = 44;   // button width
constexpr int kButtonHeightDu = 12;
constexpr int kLabelMarginDu = 4;  // room beside a widened page label's text, both sides together

// The pixel width of the page label: its own width where the widest text fits, else the
// text and a margin.
int PageLabelWidth(int room, int widestText, int margin) {
  return widestText <= room ? room : widestText + margin;
}

int ScrollBarExtent(const QWidget* w) { return w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w); }

QString ToQString(const std::u16string& s) { return QString::fromStdU16String(s); }

// The print engine's CUPS job options, as Qt's CUPS support keeps them.
constexpr QPrintEngine::PrintEnginePropertyKey kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

bool NoPrinterAtAll() {
  if (platform::HasDefaultPrinter()) return false;
  if (!qEnvironmentVariableIsEmpty("SUITE_NO_PRINTER")) return true;
  return QPrinterInfo::availablePrinters().isEmpty();
}

// The print dialog offers no page range: the document prints whole, page for page as
// the preview shows it. Qt's dialog keeps "Pages from" and "Pages" choosable whatever
// its options say, so they are taken away each time the dialog shows and whenever
// another printer is picked.
class WholeDocumentPrintDialog : public QPrintDialog {
 public:
  WholeDocumentPrintDialog(QPrinter* printer, QWidget* parent) : QPrintDialog(printer, parent) {
    setOption(QAbstractPrintDialog::PrintSelection, false);
    setOption(QAbstractPrintDialog::PrintPageRange, false);
    setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    for (QComboBox* printers : findChildren<QComboBox*>(QStringLiteral("printers")))
      connect(printers, &QComboBox::currentIndexChanged, this,
              [this] { QTimer::singleShot(0, this, [this] { takeRangeAway(); }); });
  }

  void setVisible(bool visible) override {
    QPrintDialog::setVisible(visible);
    if (visible) takeRangeAway();
  }

 private:
  // The range box goes whole: with no range, no page set ("Odd Pages" would print half
  // a listing) and no "to" between two hidden numbers, nothing in it is left to choose.
  void takeRangeAway() {
    for (QRadioButton* all : findChildren<QRadioButton*>(QStringLiteral("printAll"))) all->setChecked(true);
    for (QComboBox* set : findChildren<QComboBox*>(QStringLiteral("pageSetCombo"))) set->setCurrentIndex(0);
    for (const char* name : {"gbPrintRange", "printRange", "pagesRadioButton", "printCurrentPage",
                             "printSelection", "from", "to", "pagesLineEdit", "pageSetCombo",
                             "pageSetLabel"}) {
      for (QWidget* w : findChildren<QWidget*>(QLatin1String(name))) {
        w->setEnabled(false);
        w->hide();
      }
    }
  }
};

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
  return QSize(std::max(width() - (vShown_ ? ext : 0), 0), std::max(height() - (hShown_ ? ext : 0), 0));
}

void ViewerCanvas::setBars(std::int64_t hMax, int hPage, bool hShown, std::int64_t vMax, int vPage,
                           bool vShown) {
  hMax_ = hMax;
  vMax_ = vMax;
  hPage_ = hPage;
  vPage_ = vPage;
  hShown_ = hShown;
  vShown_ = vShown;
  const auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, 1 << 30)); };
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

void ViewerCanvas::followBars() { view_->move(origin_.x() - hbar_->value(), origin_.y() - vbar_->value()); }

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
  const std::int64_t h = PlaceScrollPosition(canvas.horizontalBar()->value(), canvas.hRangeMax(),
                                             canvas.hPageSize(), s.clickX, c.width(), s.viewWidth,
                                             PreviousViewWidth(), fit, false);
  const std::int64_t v = PlaceScrollPosition(canvas.verticalBar()->value(), canvas.vRangeMax(),
                                             canvas.vPageSize(), s.clickY, c.height(), s.viewHeight,
                                             PreviousViewHeight(), fit, true);
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

// --- preview window ---------------------------------------------------------------

PreviewWindow::PreviewWindow(QWidget* owner, const QString& caption, const QString& text,
                             PageSettings& settings)
    : QDialog(owner), settings_(settings), text_(text.isEmpty() ? QStringLiteral(" ") : text) {
  setObjectName(QStringLiteral("previewWindow"));
  setWindowTitle(caption);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setMinimumSize(200, 200);
  setWindowIcon(AppIcon());

  const int t = platform::DuToPxY(kToolbarDu);
  const int bw = platform::DuToPxX(kButtonDu);
  const int bh = platform::DuToPxY(kButtonHeightDu);
  const int half = static_cast<int>(RoundEven(bw / 2.0L));
  const int g = platform::DuToPxY(2);

  strip_ = new QLabel(this);
  strip_->setObjectName(QStringLiteral("toolbarStrip"));
  strip_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  strip_->setGeometry(0, 0, 640, t);

  const auto button = [this](const QString& caption, const char* name) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  print_ = button(QStringLiteral("&Print"), "button1145");
  first_ = button(QStringLiteral("<<"), "button1146");
  previous_ = button(QStringLiteral("<"), "button1147");
  next_ = button(QStringLiteral(">"), "button1148");
  last_ = button(QStringLiteral(">>"), "button1149");
  pageLabel_ = new QLabel(this);
  pageLabel_->setObjectName(QStringLiteral("label1136"));
  pageLabel_->setAlignment(Qt::AlignCenter);
  zoom_ = button(QStringLiteral("&Zoom"), "button1150");
  close_ = button(QStringLiteral("&Close"), "button2");

  int x = platform::DuToPxX(2);
  print_->setGeometry(x, 3, bw, bh);
  x += bw + 4 * g;
  for (QPushButton* b : {first_, previous_, next_, last_}) {
    b->setGeometry(x, 3, half, bh);
    x += half;
    b->setEnabled(false);
  }
  x += g;
  pageLabel_->setGeometry(x, 7, bw, bh - 2);
  x += bw + g;
  zoom_->setGeometry(x, 3, bw, bh);
  x += bw + 4 * g;
  close_->setGeometry(x, 3, bw, bh);

  canvas_ = new ViewerCanvas(this, settings_, this);
  canvas_->setObjectName(QStringLiteral("canvas"));
  connect(canvas_->view(), &PageView::pressed, this, &PreviewWindow::pagePressed);
  connect(first_, &QPushButton::clicked, this, &PreviewWindow::goFirst);
  connect(previous_, &QPushButton::clicked, this, &PreviewWindow::goPrevious);
  connect(next_, &QPushButton::clicked, this, &PreviewWindow::goNext);
  connect(last_, &QPushButton::clicked, this, &PreviewWindow::goLast);
  connect(zoom_, &QPushButton::clicked, this, &PreviewWindow::zoomStep);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(print_, &QPushButton::clicked, this, [this] { PrintDocument(*this, lines_); });

  // 90 % of the work area, centred in it.
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const int w = static_cast<int>(RoundEven(area.width() * 0.9L));
  const int h = static_cast<int>(RoundEven(area.height() * 0.9L));
  setGeometry(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
  placeControls();
}

QString PreviewWindow::pageLabelText() const { return pageLabel_->text(); }
void PreviewWindow::setPageLabel(const QString& text) { pageLabel_->setText(text); }

// The page label is 44 du wide, room for texts up to "Page 1/4762" in the dialog font.
// A document whose last page label is wider gets a label as wide as its widest text,
// and "&Zoom" and "&Close" move right by as much, so that every page's number is read
// whole and nothing overlaps. Other documents keep the toolbar as laid out.
void PreviewWindow::fitPageLabel() {
  const QFontMetrics fm(pageLabel_->font());
  const int count = std::max(settings_.pageCount, 1);
  int widest = fm.horizontalAdvance(QString::fromStdString(PageLabel(count, count)));
  // Where the face's figures differ in width, a page before the last may read wider: its
  // number written in the widest figure, as many figures as the last page's.
  QChar wideFigure = QLatin1Char('0');
  for (char c = '1'; c <= '9'; ++c)
    if (fm.horizontalAdvance(QLatin1Char(c)) > fm.horizontalAdvance(wideFigure)) wideFigure = QLatin1Char(c);
  const QString lastNumber = QString::fromStdString(ViewerPlainNumberText(count));
  const QString wideNumber(lastNumber.size(), wideFigure);
  widest = std::max(widest, fm.horizontalAdvance(QStringLiteral("Page") +
                                                 QString::fromStdString(ViewerNumberText(wideNumber.toDouble())) +
                                                 QStringLiteral("/") + lastNumber));
  const int width = PageLabelWidth(platform::DuToPxX(kButtonDu), widest, platform::DuToPxX(kLabelMarginDu));
  const int shift = width - pageLabel_->width();
  if (shift == 0) return;
  pageLabel_->resize(width, pageLabel_->height());
  for (QPushButton* b : {zoom_, close_}) b->move(b->x() + shift, b->y());
}

void PreviewWindow::placeControls() {
  const int t = platform::DuToPxY(kToolbarDu);
  strip_->setGeometry(0, 0, width() + 2, t);
  canvas_->setGeometry(0, t, width(), std::max(height() - t, 0));
}

void PreviewWindow::initialise() {
  PageSettings& s = settings_;
  canvas_->view()->setCursor(ZoomCursor());
  canvas_->font = SettingsFont(s);
  canvas_->view()->setFont(canvas_->font);
  s.screenResolutionX = canvas_->view()->logicalDpiX();
  s.screenResolutionY = canvas_->view()->logicalDpiY();
  page_ = 1;
  layOut(DefaultPrinter().get());
  placeControls();
  LayoutPageView(*canvas_, lines_);
  if (s.pageCount > 1) {
    next_->setEnabled(true);
    last_->setEnabled(true);
  }
  close_->setFocus();
  initialised_ = true;
}

void PreviewWindow::layOut(const QPrinter* printer) {
  PageSettings& s = settings_;
  canvas_->font = SettingsFont(s);
  SetupPageImage(*canvas_, s);
  const std::u16string_view text(reinterpret_cast<const char16_t*>(text_.constData()),
                                 static_cast<std::size_t>(text_.size()));
  lines_.clear();
  if (printer) {
    // Lines are wrapped and counted with the printer's own font metrics on the paper's
    // text area, so that the preview shows the lines as they print and no printed line
    // crosses a margin. The printer's pixels are taken to the settings' resolution.
    const double deviceDpi = printer->resolution() > 0 ? printer->resolution() : 1200;
    const double toSettingsX = s.printerResolutionX / deviceDpi;
    const double toSettingsY = s.printerResolutionY / deviceDpi;
    const QPaintDevice* device = printer;
    const QFontMetrics pfm(canvas_->font, device);
    const double pitch = pfm.height() * toSettingsY;
    const PaperTextArea area = PaperTextAreaOf(s);
    const LinesPerPageResult lpp = LinesOnPaper(area.height, pitch);
    s.linesPerPage = lpp.lines;
    roomForText_ = lpp.fits;
    canvas_->linePitch =
        s.printerResolutionY > 0 ? pitch * s.screenResolutionY / s.printerResolutionY : 0;
    const TextWidthFn onPrinter = TextWidthOn(canvas_->font, device);
    const TextWidthFn width =
        toSettingsX == 1.0 ? onPrinter : TextWidthFn([onPrinter, toSettingsX](std::u16string_view t) {
          return static_cast<int>(std::ceil(onPrinter(t) * toSettingsX));
        });
    s.pageCount = WrapLines(width, area.width, text, lines_, s.linesPerPage);
    // The screen font's size is held to whole pixels, so its text runs narrower (or
    // wider) than on paper: it is spaced to the printer's advance, and the page shows
    // each line as long as it prints.
    const QString sample =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789.,-");
    const double printed = QFontMetricsF(canvas_->font, device).horizontalAdvance(sample) *
                           s.screenResolutionX / deviceDpi;
    const double shown = QFontMetricsF(canvas_->font, &canvas_->pageImage).horizontalAdvance(sample);
    if (printed > 0 && shown > 0 && std::isfinite(printed / shown))
      canvas_->font.setLetterSpacing(QFont::PercentageSpacing, 100.0 * printed / shown);
  } else {
    // No printer: the page at the screen's resolution, measured on the page image.
    const QFontMetrics fm(canvas_->font, &canvas_->pageImage);
    const LinesPerPageResult lpp = LinesPerPageOf(s.textHeight, fm.height());
    s.linesPerPage = lpp.lines;
    roomForText_ = lpp.fits;
    canvas_->linePitch = 0;
    s.pageCount = WrapLines(TextWidthOn(canvas_->font, &canvas_->pageImage), s.textWidth, text,
                            lines_, s.linesPerPage);
  }
  fitPageLabel();
  RenderPage(*canvas_, page_, lines_);
}

void PreviewWindow::layOutAgain(const QPrinter& printer) {
  layOut(&printer);
  // The same page number where the document still reaches it, else its new last page.
  page_ = std::clamp(page_, 1, std::max(settings_.pageCount, 1));
  const bool back = page_ > 1;
  const bool on = page_ < settings_.pageCount;
  first_->setEnabled(back);
  previous_->setEnabled(back);
  next_->setEnabled(on);
  last_->setEnabled(on);
  showPage();
}

void PreviewWindow::showPage() {
  RenderPage(*canvas_, page_, lines_);
  LayoutPageView(*canvas_, lines_);
}

void PreviewWindow::goFirst() {
  page_ = 1;
  first_->setEnabled(false);
  previous_->setEnabled(false);
  const bool more = settings_.pageCount > 1;
  next_->setEnabled(more);
  last_->setEnabled(more);
  next_->setFocus();
  showPage();
}

void PreviewWindow::goPrevious() {
  page_ = std::max(page_ - 1, 1);
  next_->setEnabled(true);
  last_->setEnabled(true);
  if (page_ == 1) {
    next_->setFocus();
    first_->setEnabled(false);
    previous_->setEnabled(false);
  }
  showPage();
}

void PreviewWindow::goNext() {
  page_ = std::min(page_ + 1, std::max(settings_.pageCount, 1));
  first_->setEnabled(true);
  previous_->setEnabled(true);
  if (page_ == settings_.pageCount) {
    previous_->setFocus();
    next_->setEnabled(false);
    last_->setEnabled(false);
  }
  showPage();
}

void PreviewWindow::goLast() {
  page_ = std::max(settings_.pageCount, 1);
  first_->setEnabled(true);
  previous_->setEnabled(true);
  previous_->setFocus();
  if (page_ == settings_.pageCount) {
    next_->setEnabled(false);
    last_->setEnabled(false);
  }
  showPage();
}

void PreviewWindow::zoomStep() {
  settings_.zoom = NextZoom(settings_.zoom);
  LayoutPageView(*canvas_, lines_);
}

void PreviewWindow::pagePressed(QPoint canvasPoint) {
  if (busy_) return;  // a click while a zoom step is laid out
  busy_ = true;
  settings_.clickX = canvasPoint.x();
  settings_.clickY = canvasPoint.y();
  zoomStep();
  busy_ = false;
}

void PreviewWindow::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (isMinimized()) return;
  placeControls();
  if (initialised_) LayoutPageView(*canvas_, lines_);
}

void ShowPreview(QWidget* owner, const QString& caption, const QString& text, PageSettings& settings) {
  // Printing on another printer than the default lays this preview out for that
  // printer's paper; the next preview starts again from the default printer's.
  const PageSettings opened = settings;
  const auto restorePaper = qScopeGuard([&settings, &opened] {
    settings.pageWidth = opened.pageWidth;
    settings.pageHeight = opened.pageHeight;
    settings.unprintableLeft = opened.unprintableLeft;
    settings.unprintableTop = opened.unprintableTop;
    settings.unprintableRight = opened.unprintableRight;
    settings.unprintableBottom = opened.unprintableBottom;
    settings.orientation = opened.orientation;
    settings.printerResolutionX = opened.printerResolutionX;
    settings.printerResolutionY = opened.printerResolutionY;
  });
  PreviewWindow preview(owner, caption, text, settings);
  preview.initialise();
  if (!preview.roomForText()) {
    QMessageBox::warning(&preview, QStringLiteral("Preview"),
                         QStringLiteral("The margins and the font leave no room for a line of text. "
                                        "Each page shows one line; choose smaller margins or a "
                                        "smaller font."));
  }
  preview.exec();
}

// --- printing ---------------------------------------------------------------------

void PrintWholeDocument(QPrinter& printer) {
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  printer.setPageRanges(QPageRanges());
  // The dialog's page set ("Odd Pages", "Even Pages") travels to CUPS as the job option
  // "page-set" among the printer's CUPS options (name, value, name, value ...).
  if (QPrintEngine* engine = printer.printEngine()) {
    const QVariant held = engine->property(kCupsOptions);
    if (held.isValid()) {
      QStringList options = held.toStringList();
      for (qsizetype i = 0; i + 1 < options.size();) {
        if (options[i] == QLatin1String("page-set")) options.remove(i, 2);
        else i += 2;
      }
      engine->setProperty(kCupsOptions, options);
    }
  }
}

void PrintDocument(PreviewWindow& preview, const PageLines& lines) {
  PageSettings& s = preview.canvas()->settings();
  if (NoPrinterAtAll()) {
    QMessageBox::warning(&preview, QStringLiteral("Print"),
                         QStringLiteral("There is no printer. Install a printer to print the document."));
    return;
  }
  const QString name = ToQString(NameFromCaption(preview.windowTitle().toStdU16String()));
  preview.printButton()->setEnabled(false);
  std::unique_ptr<QPrinter> printer = DefaultPrinter();
  if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(name.isEmpty() ? QStringLiteral("Print job") : name);
  bool chosen = false;
  {
    WholeDocumentPrintDialog dialog(printer.get(), &preview);
    // The PDF file that stands in for a printer is the dialog's file entry.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, printer->outputFormat() == QPrinter::PdfFormat);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    chosen = dialog.exec() == QDialog::Accepted;
  }
  preview.printButton()->setEnabled(true);
  if (!chosen) return;
  PrintWholeDocument(*printer);
  // A printer chosen in the dialog comes with its own paper and printable area: the
  // pages are laid out again for it (and the preview shows them so) before anything is
  // printed, so that no line runs into a margin of paper it was not laid out for.
  PageSettings chosenPaper = s;
  TakePrinterMetrics(chosenPaper, *printer);
  if (!SamePaper(s, chosenPaper)) {
    TakePrinterMetrics(s, *printer);
    preview.layOutAgain(*printer);
  }

  // Positions are the settings' printer pixels; a printer of another resolution chosen
  // in the dialog gets them in its own pixels.
  const double sx = s.printerResolutionX > 0 ? double(printer->resolution()) / s.printerResolutionX : 1.0;
  const double sy = s.printerResolutionY > 0 ? double(printer->resolution()) / s.printerResolutionY : 1.0;
  const PrintOrigin origin = PrintOriginOf(s);
  const double left = origin.left * sx;
  const double top = origin.top * sy;
  const double pageWidth = s.pageWidth * sx;

  QPainter p;
  if (!p.begin(printer.get())) {
    QMessageBox::warning(&preview, QStringLiteral("Print"),
                         QStringLiteral("The printer could not start the print job."));
    return;
  }
  const QFont font = SettingsFont(s);
  p.setFont(font);
  const QFontMetrics fm(font, printer.get());
  p.setPen(Qt::black);
  const QString pageCount = QString::fromStdString(ViewerPlainNumberText(s.pageCount));
  const auto heading = [&](int k) {
    const QString text = name + QStringLiteral("  |  Page") + QString::fromStdString(ViewerNumberText(k)) +
                         QStringLiteral("/") + pageCount + QStringLiteral("  |  ") + HeadingDate() +
                         QStringLiteral(", ") + HeadingTime();
    const double x = (pageWidth - fm.horizontalAdvance(text)) / 2;
    const double y = (top - fm.height()) / 2;
    p.drawText(QPointF(x, y + fm.ascent()), text);
  };
  const std::size_t perPage = static_cast<std::size_t>(std::max(s.linesPerPage, 1));
  int k = 1;
  heading(k);
  double y = top;
  for (std::size_t i = 1; i <= lines.size(); ++i) {
    if (i > 1 && (i - 1) % perPage == 0) {
      printer->newPage();
      heading(++k);
      y = top;
    }
    const std::u16string& line = lines[i - 1];
    p.drawText(QPointF(left, y + fm.ascent()),
               QString::fromRawData(reinterpret_cast<const QChar*>(line.data()),
                                    static_cast<qsizetype>(line.size())));
    y += fm.height();
  }
  p.end();
}

}  // namespace viewer
