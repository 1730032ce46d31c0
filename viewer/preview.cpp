// The print preview window: its toolbar, page navigation, zoom and page label.
#include "viewer/preview.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <cmath>

#include "platform/dialog_units.h"
#include "platform/line_printer.h"
#include "platform/platform.h"
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

}  // namespace

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
    if (fm.horizontalAdvance(QLatin1Char(c)) > fm.horizontalAdvance(wideFigure))
      wideFigure = QLatin1Char(c);
  const QString lastNumber = QString::fromStdString(ViewerPlainNumberText(count));
  const QString wideNumber(lastNumber.size(), wideFigure);
  widest = std::max(
      widest, fm.horizontalAdvance(QStringLiteral("Page") +
                                   QString::fromStdString(ViewerNumberText(wideNumber.toDouble())) +
                                   QStringLiteral("/") + lastNumber));
  const int width =
      PageLabelWidth(platform::DuToPxX(kButtonDu), widest, platform::DuToPxX(kLabelMarginDu));
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
        toSettingsX == 1.0 ? onPrinter
                           : TextWidthFn([onPrinter, toSettingsX](std::u16string_view t) {
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
    const double shown =
        QFontMetricsF(canvas_->font, &canvas_->pageImage).horizontalAdvance(sample);
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

void ShowPreview(QWidget* owner, const QString& caption, const QString& text,
                 PageSettings& settings) {
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
    platform::ShowWarning(
        &preview, QStringLiteral("Preview"),
        QStringLiteral("The margins and the font leave no room for a line of text. "
                       "Each page shows one line; choose smaller margins or a "
                       "smaller font."));
  }
  preview.exec();
}

}  // namespace viewer
