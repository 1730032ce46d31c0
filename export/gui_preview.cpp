// The export window's preview: scenes drawn on a worker thread, shown by the widget.
#include "export/gui_preview.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <cmath>
#include <vector>

#include "export/export_common.h"
#include "export/input_check.h"
#include "export/plan_sheet.h"
#include "export/section_layout.h"
#include "export/section_run.h"
#include "planplot/plan_core.h"
#include "secplot/section_page.h"
#include "toolkit/prompt_window.h"

namespace surveyexport {

QPointF PreviewView::ToPixel(double x, double y) const {
  const double px = (x - cx) / perPixel + width / 2.0;
  const double dy = (y - cy) / perPixel;
  return {px, yUp ? height / 2.0 - dy : height / 2.0 + dy};
}

QPointF PreviewView::ToWorld(const QPointF& p) const {
  const double x = cx + (p.x() - width / 2.0) * perPixel;
  const double dy = (p.y() - height / 2.0) * perPixel;
  return {x, yUp ? cy - dy : cy + dy};
}

namespace {

QColor ColourOf(unsigned long rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb & 0xffffff)); }

// Lines, points and labels in pixels of an image: lines of one pen go out together, points
// are small squares written straight into the image, and labels are thinned to one in a
// cell of the image so that a million numbers stay legible (and quick).
class ImageSurface {
 public:
  ImageSurface(QImage& image, const std::function<bool()>& keepGoing)
      : image_(image),
        painter_(&image),
        keepGoing_(keepGoing),
        cols_(image.width() / kCell + 1),
        rows_(image.height() / kCell + 1),
        taken_(static_cast<std::size_t>(cols_) * rows_, false) {
    font_.setPointSizeF(7);
    font_.setFamily("Arial");
  }
  ~ImageSurface() { Flush(); }

  void Line(QPointF a, QPointF b, unsigned long rgb, int style) {
    double x1 = a.x(), y1 = a.y(), x2 = b.x(), y2 = b.y();
    const double m = 64;
    if (!secplot::ClipSegment(-m, -m, image_.width() + m, image_.height() + m, x1, y1, x2, y2))
      return;
    if (!lines_.empty() && (rgb != rgb_ || style != style_)) Flush();
    rgb_ = rgb;
    style_ = style;
    lines_.push_back(QLineF(x1, y1, x2, y2));
    if (lines_.size() >= 4096) Flush();
  }
  void Point(QPointF p, unsigned long rgb) {
    const int x = static_cast<int>(std::floor(p.x())), y = static_cast<int>(std::floor(p.y()));
    const QRgb c = 0xff000000u | static_cast<QRgb>(rgb & 0xffffff);
    for (int dy = 0; dy < 2; ++dy) {
      const int yy = y + dy;
      if (yy < 0 || yy >= image_.height()) continue;
      auto* line = reinterpret_cast<QRgb*>(image_.scanLine(yy));
      for (int dx = 0; dx < 2; ++dx) {
        const int xx = x + dx;
        if (xx >= 0 && xx < image_.width()) line[xx] = c;
      }
    }
  }
  // Text with its top-left corner (before the turn) at the pixel, turned by angle degrees
  // counter-clockwise; left out where a label already stands in that cell.
  void Text(QPointF p, const std::string& text, unsigned long rgb, double angle, double points) {
    if (p.x() < -200 || p.y() < -200 || p.x() > image_.width() + 200 ||
        p.y() > image_.height() + 200)
      return;
    const int cx = std::clamp(static_cast<int>(p.x()) / kCell, 0, cols_ - 1);
    const int cy = std::clamp(static_cast<int>(p.y()) / kCell, 0, rows_ - 1);
    const std::size_t cell = static_cast<std::size_t>(cy) * cols_ + cx;
    if (taken_[cell]) return;
    taken_[cell] = true;
    Flush();
    if (font_.pointSizeF() != points) font_.setPointSizeF(points);
    painter_.setFont(font_);
    painter_.setPen(ColourOf(rgb));
    painter_.save();
    painter_.translate(p);
    painter_.rotate(-angle);
    painter_.drawText(QPointF(0, QFontMetricsF(font_).ascent()), QString::fromStdString(text));
    painter_.restore();
  }
  bool KeepGoing() { return ++calls_ % 4096 != 0 || !keepGoing_ || keepGoing_(); }
  void Flush() {
    if (lines_.empty()) return;
    painter_.setPen(QPen(ColourOf(rgb_), 1, toolkit::PenStyleOf(style_)));
    painter_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
    lines_.clear();
  }

 private:
  static constexpr int kCell = 14;
  QImage& image_;
  QPainter painter_;
  const std::function<bool()>& keepGoing_;
  QFont font_;
  std::vector<QLineF> lines_;
  unsigned long rgb_ = 0;
  int style_ = 0;
  std::int64_t calls_ = 0;
  int cols_, rows_;
  std::vector<bool> taken_;
};

// ---- The plan -----------------------------------------------------------------------

class PlanImageCanvas : public planplot::PlanCanvas {
 public:
  PlanImageCanvas(ImageSurface& surface, const PreviewView& view) : s_(surface), view_(view) {}
  void BeginPass(const planplot::LabelFont&, const planplot::PlanMapping&) override {}
  void EndPass() override { s_.Flush(); }
  void Pixel(double E, double N, planplot::Rgb colour) override {
    s_.Point(view_.ToPixel(E, N), colour);
  }
  void Line(double E0, double N0, double E1, double N1, planplot::Rgb colour,
            planplot::PenStyle style) override {
    s_.Line(view_.ToPixel(E0, N0), view_.ToPixel(E1, N1), colour, static_cast<int>(style));
  }
  void Label(const planplot::PlanLabel& label) override {
    s_.Text(view_.ToPixel(label.E, label.N), label.text, label.colour, 10, 7);
  }
  bool KeepAlive() override { return s_.KeepGoing(); }

 private:
  ImageSurface& s_;
  const PreviewView& view_;
};

class PlanPreview : public PreviewScene {
 public:
  PlanPreview(std::string neh, std::string reference, bool numbers, bool levels) {
    state_.mainFileName = std::move(neh);
    state_.referenceFileName = std::move(reference);
    state_.referencePresent = !state_.referenceFileName.empty();
    state_.showNumbers = numbers;
    state_.showLevels = levels;
  }
  QRectF Ground(const QRectF& shown) const override { return shown.normalized(); }
  std::string Prepare(const std::function<bool()>& keepGoing) override {
    // The files as the export checks them; the extent as the plotter scans it.
    WatchedNehFiles inputs;
    std::vector<std::string> files{state_.mainFileName};
    if (state_.referencePresent) files.push_back(state_.referenceFileName);
    if (std::string e = inputs.Check(files); !e.empty()) return e;
    // Files of up to 256 MB are read once and drawn from memory at every zoom.
    for (const std::string& name : files) {
      std::ifstream in(name, std::ios::binary);
      std::error_code ec;
      const auto size = std::filesystem::file_size(name, ec);
      if (!in || ec || size > kKeptBytes) {
        held_.clear();
        break;
      }
      auto bytes = std::make_shared<std::string>(size, '\0');
      if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) {
        held_.clear();
        break;
      }
      held_[name] = std::move(bytes);
      if (!keepGoing()) return {};
    }
    std::int64_t n = 0;
    auto alive = [&] { return ++n % 8192 != 0 || keepGoing(); };
    if (std::string e = planplot::ScanFullExtent(state_, Opener(), alive); !e.empty()) return e;
    extent_ = QRectF(QPointF(state_.Elo, state_.Nlo), QPointF(state_.Ehi, state_.Nhi)).normalized();
    if (state_.referencePresent) {
      // The reference file may reach beyond the main one: the view takes in both.
      planplot::PlanState reference;
      reference.mainFileName = state_.referenceFileName;
      if (std::string e = planplot::ScanFullExtent(reference, Opener(), alive); !e.empty())
        return e;
      extent_ |=
          QRectF(QPointF(reference.Elo, reference.Nlo), QPointF(reference.Ehi, reference.Nhi))
              .normalized();
    }
    return {};
  }
  planplot::NehOpener Opener() const {
    if (held_.empty()) return planplot::OpenNehFile;
    auto held = held_;
    return [held](const std::string& name) -> std::unique_ptr<planplot::NehSource> {
      const auto it = held.find(name);
      if (it == held.end()) return planplot::OpenNehFile(name);
      return planplot::MemoryNehSource(*it->second);
    };
  }
  QRectF Extent() const override { return extent_; }
  bool Draw(QImage& image, const PreviewView& view,
            const std::function<bool()>& keepGoing) override {
    planplot::PlanState state = state_;
    state.u = 4 * view.perPixel;  // labels a few pixels from their points
    ImageSurface surface(image, keepGoing);
    PlanImageCanvas canvas(surface, view);
    const planplot::PassResult r =
        planplot::DrawPlanPass(state, planplot::kLightScheme, Opener(), canvas);
    return !r.aborted;
  }

 private:
  static constexpr std::uintmax_t kKeptBytes = 256u << 20;
  planplot::PlanState state_;
  QRectF extent_;
  std::map<std::string, std::shared_ptr<const std::string>> held_;
};

// ---- The sections -------------------------------------------------------------------

// What the section pass draws, kept in the world of the stacked sections.
struct Stroke {
  double x1, y1, x2, y2;
  unsigned long rgb;
  int style;
};
struct Mark {
  double x, y;
  unsigned long rgb;
};
struct Note {
  double x, y;
  std::string text;
  unsigned long rgb;
  double angle, height;  // the text's height on paper, in world units
  bool title = false;    // a section's title, standing on (x, y): readable at every zoom
};

class RecordingSectionCanvas : public secplot::SectionCanvas {
 public:
  RecordingSectionCanvas(std::vector<Stroke>& strokes, std::vector<Mark>& marks,
                         std::vector<Note>& notes)
      : strokes_(strokes), marks_(marks), notes_(notes) {}
  // Where the next section goes: heights times the exaggeration, moved by dy; `mm` is a
  // millimetre of the drawing in world units, which the texts are sized in.
  void Place(double dy, double exaggeration, double mm) {
    dy_ = dy;
    ex_ = exaggeration;
    mm_ = mm;
  }
  void ClearPage(secplot::Colour) override {}
  void SetWorld(double, double, double, double) override {}
  void Pixel(double x, double y, secplot::Colour c) override {
    marks_.push_back({x, y * ex_ + dy_, static_cast<unsigned long>(c)});
  }
  void Line(double x1, double y1, double x2, double y2, secplot::Colour c, int style) override {
    strokes_.push_back(
        {x1, y1 * ex_ + dy_, x2, y2 * ex_ + dy_, static_cast<unsigned long>(c), style});
  }
  void Label(double x, double y, const std::string& text, const secplot::LabelFont& font,
             secplot::Colour fg, secplot::Colour) override {
    notes_.push_back({x, y * ex_ + dy_, text, static_cast<unsigned long>(fg),
                      font.escapement / 10.0, font.points * 25.4 / 72 * mm_});
  }

 private:
  std::vector<Stroke>& strokes_;
  std::vector<Mark>& marks_;
  std::vector<Note>& notes_;
  double dy_ = 0, ex_ = 1, mm_ = 1;
};

class SectionsPreview : public PreviewScene {
 public:
  SectionsPreview(std::string sec, std::string from, std::string to, double h, double v,
                  bool heights)
      : sec_(std::move(sec)), from_(std::move(from)), to_(std::move(to)), heights_(heights) {
    // Heights drawn as much larger than distances as the drawing's scales make them.
    if (h > 0 && v > 0) exaggeration_ = h / v;
    horizontal_ = h;
    vertical_ = v;
  }
  std::string Prepare(const std::function<bool()>& keepGoing) override {
    std::vector<std::string> names;
    if (from_.empty()) {
      // Every section: from the first name to the last of the file.
      if (std::string e = CheckInput(sec_, toolkit::SurveyKind::Sec); !e.empty()) return e;
      names = SectionNames(keepGoing);
      if (names.empty()) return Shown(sec_) + ": holds no section to draw";
    } else {
      names = {from_, to_.empty() ? from_ : to_};
    }
    SectionRun run;
    if (std::string e = run.Open({sec_}, heights_); !e.empty()) return e;
    RecordingSectionCanvas canvas(strokes_, marks_, notes_);
    double top = 0;
    bool first = true;
    std::string problem = run.Walk(
        names.front(), names.back(),
        [&](const SectionPage& page, std::string*) -> secplot::SectionCanvas* {
          // Each section in its frame, as the sheet frames it, one under another.
          const double h = horizontal_ > 0 ? horizontal_ : kNoScale;
          const double v = vertical_ > 0 ? vertical_ : kNoScale;
          const std::optional<SectionFrame> frame = FrameFor(page.extent, h, v, heights_);
          const double mm = h / 1000;  // a millimetre of the drawing, in world units
          const double minX = frame ? frame->x0 : page.extent.minX;
          const double maxX = frame ? frame->xr : page.extent.maxX;
          const double minY = frame ? frame->y0 : page.extent.minY;
          const double maxY = frame ? frame->yt : page.extent.maxY;
          const double height = (maxY - minY) * exaggeration_;
          if (!first) top -= 16 * mm;
          first = false;
          const double dy = top - maxY * exaggeration_;
          canvas.Place(dy, exaggeration_, mm);
          if (frame) AddFrame(*frame, dy, mm);
          std::string title = ShownName(page.name);
          if (horizontal_ > 0 && vertical_ > 0)
            title = SectionTitle(page.name, horizontal_, vertical_, page.chainage);
          notes_.push_back({minX, top + 0.5 * mm, title, 0, 0, 4.5 * mm, true});
          extent_ |= QRectF(QPointF(minX, top - height - 5 * mm), QPointF(maxX, top + 5 * mm));
          top -= height;
          return &canvas;
        },
        [](const SectionPage&) { return std::string(); }, [&](double) { return keepGoing(); });
    if (problem == "stopped") problem.clear();
    return problem;
  }
  QRectF Extent() const override { return extent_.normalized(); }
  bool Draw(QImage& image, const PreviewView& view,
            const std::function<bool()>& keepGoing) override {
    ImageSurface surface(image, keepGoing);
    for (const Stroke& s : strokes_) {
      surface.Line(view.ToPixel(s.x1, s.y1), view.ToPixel(s.x2, s.y2), s.rgb, s.style);
      if (!surface.KeepGoing()) return false;
    }
    for (const Mark& m : marks_) surface.Point(view.ToPixel(m.x, m.y), m.rgb);
    surface.Flush();
    // Texts at their size on the sheet; too small to read at this zoom, left out, but for
    // the titles, which say what is where.
    for (const Note& n : notes_) {
      const double pixels = std::max(n.height / view.perPixel, n.title ? kTitlePixels : 0.0);
      QPointF at = view.ToPixel(n.x, n.y);
      if (n.title) at.ry() -= pixels * 1.2;
      if (pixels >= kSmallestPixels) surface.Text(at, n.text, n.rgb, n.angle, pixels * 0.75);
    }
    return true;
  }

 private:
  static constexpr double kSmallestPixels = 5, kTitlePixels = 9;
  // The section's frame as the sheet draws it: its datum edge and its blue distance and
  // height ticks with their labels. One millimetre of the drawing is `mm` world units both
  // ways, the heights being drawn exaggerated by H/V.
  void AddFrame(const SectionFrame& f, double dy, double mm) {
    const double ex = exaggeration_;
    const double left = f.x0, right = f.xr, bottom = f.y0 * ex + dy, top = f.yt * ex + dy;
    const unsigned long black = 0, blue = secplot::kTickBlue;
    strokes_.push_back({left, top, right, top, black, secplot::kSolid});
    strokes_.push_back({right, top, right, bottom, black, secplot::kSolid});
    strokes_.push_back({right, bottom, left, bottom, black, secplot::kSolid});
    strokes_.push_back({left, bottom, left, top, black, secplot::kSolid});
    notes_.push_back({left, bottom - 0.5 * mm, DatumText(f.y0), black, 0, 2.7 * mm});
    const double tickHeight = secplot::kTickFont.points * 25.4 / 72 * mm;
    for (long double x : secplot::TickValues(f.x0, f.gx, f.xr)) {
      strokes_.push_back({double(x), top, double(x), top - 6 * mm, blue, secplot::kSolid});
      notes_.push_back({double(x), top - 6 * mm, secplot::LevelLabel(x), black, 0, tickHeight});
    }
    for (long double y : secplot::TickValues(f.y0, f.gy, f.yt)) {
      const double at = double(y) * ex + dy;
      strokes_.push_back({left, at, left + 8 * mm, at, blue, secplot::kSolid});
      notes_.push_back({left + 8 * mm, at, secplot::LevelLabel(y), black, 0, tickHeight});
    }
  }
  // The scales a preview without scales is framed at.
  static constexpr double kNoScale = 500;

  // The names of the file's sections in order: the first and the last bound the range.
  std::vector<std::string> SectionNames(const std::function<bool()>& keepGoing) {
    std::vector<std::string> names;
    toolkit::SurveyFile file;
    if (toolkit::OpenSurveyFileNamed(file, sec_, toolkit::SurveyKind::Sec) !=
        toolkit::OpenResult::Ok)
      return names;
    const auto count = static_cast<std::int64_t>(file.recordCount);
    bool header = true;
    for (std::int64_t r = 1; r <= count; ++r) {
      if (r % 8192 == 0 && !keepGoing()) break;
      if (!toolkit::ReadRecord(file, r) || file.beyondEnd) break;
      const bool empty = toolkit::IsEmptyRecord(file);
      if (header) {
        if ((empty && r > 1) || toolkit::IsSecTerminator(file)) continue;
        header = false;
        const std::string name = ShownName(secplot::SectionNameText(file));
        if (names.size() < 2)
          names.push_back(name);
        else
          names.back() = name;
        continue;
      }
      if (!empty && toolkit::IsSecTerminator(file)) header = true;
    }
    toolkit::CloseSurveyFile(file);
    return names;
  }

  std::string sec_, from_, to_;
  bool heights_;
  double exaggeration_ = 1, horizontal_ = 0, vertical_ = 0;
  std::vector<Stroke> strokes_;
  std::vector<Mark> marks_;
  std::vector<Note> notes_;
  QRectF extent_;
};

// ---- The plan sheet -----------------------------------------------------------------

// The sheet as the PDF gets it, painted by the sheet's own painting; the world is the
// paper in millimetres from its top-left corner.
class SheetPreview : public PreviewScene {
 public:
  explicit SheetPreview(const PlanSheetOptions& options) : options_(options) {}
  std::string Prepare(const std::function<bool()>&) override {
    const auto paper = PaperNamed(options_.paper);
    if (!paper) return "unknown paper " + options_.paper;
    width_ = options_.portrait ? paper->shortMm : paper->longMm;
    height_ = options_.portrait ? paper->longMm : paper->shortMm;
    return {};
  }
  QRectF Extent() const override { return QRectF(0, 0, width_, height_); }
  bool YUp() const override { return false; }
  // The part of the map frame shown, in the survey's metres.
  QRectF Ground(const QRectF& shown) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!haveMap_) return {};
    const QRectF frame(QPointF(map_.frameLeftMm, map_.frameTopMm),
                       QPointF(map_.frameRightMm, map_.frameBottomMm));
    const QRectF part = frame.intersected(shown.normalized());
    if (part.isEmpty()) return {};
    const double k = map_.scale / 1000.0;  // metres a millimetre
    return QRectF(QPointF(map_.left + (part.left() - frame.left()) * k,
                          map_.bottom + (frame.bottom() - part.bottom()) * k),
                  QPointF(map_.left + (part.right() - frame.left()) * k,
                          map_.bottom + (frame.bottom() - part.top()) * k));
  }
  QColor Background() const override { return QColor(0x80, 0x80, 0x80); }
  bool Draw(QImage& image, const PreviewView& view,
            const std::function<bool()>& keepGoing) override {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QPointF origin = view.ToPixel(0, 0);
    painter.translate(origin);
    bool stopped = false;
    PlanSheetResult result;
    const std::string e = PaintPlanSheet(
        options_, painter, 1.0 / view.perPixel,
        [&](double) {
          stopped = !keepGoing();
          return !stopped;
        },
        &result);
    if (stopped) return false;
    if (e.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      map_ = result;
      haveMap_ = true;
    }
    if (!e.empty()) {
      painter.resetTransform();
      painter.setPen(Qt::white);
      painter.drawText(image.rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                       QString::fromStdString(e));
    }
    return true;
  }

 private:
  PlanSheetOptions options_;
  double width_ = 0, height_ = 0;
  mutable std::mutex mutex_;  // the map of the last sheet painted, for the window
  PlanSheetResult map_;
  bool haveMap_ = false;
};

}  // namespace

std::shared_ptr<PreviewScene> PlanScene(const std::string& neh, const std::string& reference,
                                        bool numbers, bool levels) {
  return std::make_shared<PlanPreview>(neh, reference, numbers, levels);
}

std::shared_ptr<PreviewScene> SheetScene(const PlanSheetOptions& options) {
  return std::make_shared<SheetPreview>(options);
}

std::shared_ptr<PreviewScene> SectionsScene(const std::string& sec, const std::string& from,
                                            const std::string& to, double horizontal,
                                            double vertical, bool heights) {
  return std::make_shared<SectionsPreview>(sec, from, to, horizontal, vertical, heights);
}

// ---- The widget ---------------------------------------------------------------------

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 240);
  setAttribute(Qt::WA_OpaquePaintEvent);
  idle_ = tr("Select a file to preview it");
  worker_ = std::thread([this] { WorkerLoop(); });
}

PreviewArea::~PreviewArea() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    ++generation_;
  }
  wake_.notify_all();
  worker_.join();
}

QRectF PreviewArea::ShownGround() const {
  if (!scene_ || !prepared_) return {};
  const QPointF a = view_.ToWorld(QPointF(0, 0));
  const QPointF b = view_.ToWorld(QPointF(view_.width, view_.height));
  return scene_->Ground(QRectF(a, b));
}

void PreviewArea::SetIdleText(const QString& text) {
  idle_ = text;
  update();
}

void PreviewArea::SetScene(std::shared_ptr<PreviewScene> scene) {
  scene_ = std::move(scene);
  prepared_ = false;
  image_ = QImage();
  problem_.clear();
  Request(true);
  update();
}

void PreviewArea::Fit() {
  if (!scene_ || !prepared_) return;
  view_ = FitPreviewView(extent_, scene_->YUp(), width(), height());
  Request(false);
}

PreviewView FitPreviewView(const QRectF& extent, bool yUp, int width, int height) {
  PreviewView v;
  v.width = std::max(1, width);
  v.height = std::max(1, height);
  v.yUp = yUp;
  QRectF e = extent;
  if (!(e.width() > 0)) e.adjust(-1, 0, 1, 0);
  if (!(e.height() > 0)) e.adjust(0, -1, 0, 1);
  v.cx = e.center().x();
  v.cy = e.center().y();
  // A margin of 4 % round the whole.
  v.perPixel = std::max(e.width() / v.width, e.height() / v.height) * 1.08;
  if (!(std::isfinite(v.perPixel) && v.perPixel > 0)) v.perPixel = 1;
  return v;
}

void PreviewArea::ZoomAt(const QPointF& pixel, double factor) {
  if (!scene_ || !prepared_ || !(factor > 0)) return;
  const QPointF w = view_.ToWorld(pixel);
  view_.perPixel /= factor;
  // The world point under the pixel stays under it.
  const QPointF after = view_.ToWorld(pixel);
  view_.cx += w.x() - after.x();
  view_.cy += w.y() - after.y();
  Request(false);
}

void PreviewArea::PanBy(const QPointF& pixels) {
  if (!scene_ || !prepared_) return;
  view_.cx -= pixels.x() * view_.perPixel;
  view_.cy += (view_.yUp ? 1 : -1) * pixels.y() * view_.perPixel;
  Request(false);
}

void PreviewArea::Request(bool prepare) {
  pending_ = true;
  askedAt_ = QDateTime::currentMSecsSinceEpoch();
  view_.width = std::max(1, width());
  view_.height = std::max(1, height());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_.scene = scene_;
    job_.prepare = prepare;
    job_.view = view_;
    job_.generation = ++generation_;
    haveJob_ = true;
  }
  wake_.notify_all();
  update();
}

void PreviewArea::WorkerLoop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || haveJob_; });
      if (quit_) return;
      job = job_;
      haveJob_ = false;
    }
    const int generation = job.generation;
    auto keepGoing = [this, generation] { return generation_.load() == generation; };
    if (!job.scene) {
      QMetaObject::invokeMethod(
          this,
          [this, generation] { Shown(generation, QImage(), view_, QRectF(), QString(), false); },
          Qt::QueuedConnection);
      continue;
    }
    QString problem;
    QRectF extent;
    PreviewView view = job.view;
    if (job.prepare) {
      problem = QString::fromStdString(job.scene->Prepare(keepGoing));
      if (!keepGoing()) continue;
      extent = job.scene->Extent();
      view = FitPreviewView(extent, job.scene->YUp(), job.view.width, job.view.height);
    }
    QImage image;
    if (problem.isEmpty()) {
      image = QImage(view.width, view.height, QImage::Format_RGB32);
      image.fill(job.scene->Background());
      if (!job.scene->Draw(image, view, keepGoing) || !keepGoing()) continue;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation, image, view, extent, problem, job] {
          Shown(generation, image, view, extent, problem, job.prepare);
        },
        Qt::QueuedConnection);
  }
}

void PreviewArea::Shown(int generation, const QImage& image, const PreviewView& view,
                        const QRectF& extent, const QString& problem, bool prepared) {
  if (generation != generation_.load()) return;
  if (prepared) {
    prepared_ = problem.isEmpty();
    extent_ = extent;
    view_ = view;
  }
  problem_ = problem;
  image_ = image;
  imageView_ = view;
  pending_ = false;
  update();
  emit Drawn(QDateTime::currentMSecsSinceEpoch() - askedAt_);
  // The area changed size while this was drawn.
  if (prepared_ && (view_.width != width() || view_.height != height())) Request(false);
}

void PreviewArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), scene_ ? scene_->Background() : palette().color(QPalette::Base));
  if (!image_.isNull()) {
    // The last image, moved and scaled from the view it was drawn for to the one shown.
    const QPointF a =
        view_.ToPixel(imageView_.ToWorld(QPointF(0, 0)).x(), imageView_.ToWorld(QPointF(0, 0)).y());
    const QPointF b =
        view_.ToPixel(imageView_.ToWorld(QPointF(image_.width(), image_.height())).x(),
                      imageView_.ToWorld(QPointF(image_.width(), image_.height())).y());
    p.drawImage(QRectF(a, b).normalized(), image_);
  }
  QString text;
  if (!problem_.isEmpty())
    text = problem_;
  else if (!scene_)
    text = idle_;
  else if (pending_ && image_.isNull())
    text = tr("Drawing…");
  if (!text.isEmpty()) {
    p.setPen(palette().color(QPalette::Text));
    p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, text);
  }
  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void PreviewArea::resizeEvent(QResizeEvent*) {
  if (!scene_) return;
  if (!prepared_) {
    Request(true);
    return;
  }
  Request(false);
}

void PreviewArea::wheelEvent(QWheelEvent* e) {
  const double steps = e->angleDelta().y() / 120.0;
  if (steps != 0) ZoomAt(e->position(), std::pow(1.25, steps));
  e->accept();
}

void PreviewArea::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragging_ = true;
  dragFrom_ = e->position();
  setCursor(Qt::ClosedHandCursor);
}

void PreviewArea::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  const QPointF by = e->position() - dragFrom_;
  dragFrom_ = e->position();
  PanBy(by);
}

void PreviewArea::mouseReleaseEvent(QMouseEvent*) {
  dragging_ = false;
  unsetCursor();
}

void PreviewArea::keyPressEvent(QKeyEvent* e) {
  const QPointF middle(width() / 2.0, height() / 2.0);
  const double step = std::min(width(), height()) / 8.0;
  switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomAt(middle, 1.25);
      break;
    case Qt::Key_Minus:
      ZoomAt(middle, 1 / 1.25);
      break;
    case Qt::Key_Left:
      PanBy(QPointF(step, 0));
      break;
    case Qt::Key_Right:
      PanBy(QPointF(-step, 0));
      break;
    case Qt::Key_Up:
      PanBy(QPointF(0, step));
      break;
    case Qt::Key_Down:
      PanBy(QPointF(0, -step));
      break;
    case Qt::Key_Home:
      Fit();
      break;
    default:
      QWidget::keyPressEvent(e);
      return;
  }
  e->accept();
}

}  // namespace surveyexport
