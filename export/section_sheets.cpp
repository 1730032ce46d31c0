// Section sheets: the section plotter's pass painted on paper at true scale.
//
// Every length on the sheet is in millimetres: the painter works in device dots and the
// surface converts (1200 dots an inch for PDF, 254 for SVG, so 10 units a millimetre).
// The frame of a section is sized to the section: its lower-left corner is the section's
// extent, less room for the tick labels, rounded down to the tick spacing (50 mm across,
// 20 mm up, as the plotter's ticks), so tick values stay round. Ticks are 6 mm and 8 mm
// long on paper and carry their level text at their inner end, as the plotter draws them.
#include "export/section_sheets.h"

#include <unistd.h>

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "export/section_dxf.h"
#include "export/section_run.h"
#include "export/sheet_file.h"
#include "export/sheet_paint.h"
#include "secplot/section_page.h"
#include "toolkit/number_text.h"

namespace surveyexport {

long PaperColour(long screen) {
  switch (screen) {
    case secplot::RgbColour(0, 255, 0):
      return secplot::RgbColour(0, 150, 0);  // green
    case secplot::RgbColour(0, 255, 255):
      return secplot::RgbColour(0, 145, 175);  // cyan
    case secplot::RgbColour(255, 255, 0):
      return secplot::RgbColour(185, 135, 0);  // yellow
    case secplot::RgbColour(255, 255, 255):
      return secplot::RgbColour(0, 0, 0);  // white
    default:
      return screen;
  }
}

std::string SvgPagePath(const std::string& output, int page, bool oneSection) {
  if (oneSection) return output;
  const auto slash = output.find_last_of('/');
  const auto dot = output.find_last_of('.');
  const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasDot ? output.substr(0, dot) : output;
  const std::string ext = hasDot ? output.substr(dot) : ".svg";
  return stem + "-" + std::to_string(page) + ext;
}

namespace {

constexpr double kGroundPenMm = 0.35;
constexpr double kTickPenMm = 0.18;
constexpr double kFramePenMm = 0.25;
constexpr double kTickAcrossMm = 6;  // distance ticks hang 6 mm from the top edge
constexpr double kTickUpMm = 8;      // height ticks reach 8 mm in from the left edge
constexpr double kTitleMm = 4.5;
// Text sizes are em heights: 2.7 mm gives capitals of at least the 1.8 mm a drawing office
// letters at least.
constexpr double kLegendMm = 2.7;
constexpr double kNoteMm = 2.7;
constexpr double kSmallestTextMm = 2.7;
constexpr double kEdgeGapMm = 0.8;  // between a side of the frame and a tick value

// The surface the section plotter's pass draws on: world metres inside the frame.
class SheetCanvas : public secplot::SectionCanvas {
 public:
  SheetCanvas(SheetPainter& sheet, const SectionFrame& frame, QRectF frameMm)
      : sheet_(sheet), frame_(frame), frameMm_(frameMm) {}
  ~SheetCanvas() override { Flush(); }

  QPointF Mm(double x, double y) const {
    return {frameMm_.left() + (x - frame_.x0) * 1000.0 / frame_.horizontal,
            frameMm_.bottom() - (y - frame_.y0) * 1000.0 / frame_.vertical};
  }

  void ClearPage(secplot::Colour) override {}
  void SetWorld(double, double, double, double) override {}
  void Pixel(double x, double y, secplot::Colour colour) override {
    if (!Inside(x, y)) return;
    Flush();
    sheet_.Dot(Mm(x, y), kGroundPenMm, PaperColour(colour));
  }
  void Line(double x1, double y1, double x2, double y2, secplot::Colour colour,
            int style) override {
    // Segments that follow on from each other make one line, so that dashes run on.
    if (!secplot::ClipSegment(frame_.x0, frame_.y0, frame_.xr, frame_.yt, x1, y1, x2, y2)) {
      Flush();
      return;
    }
    const QPointF a = Mm(x1, y1), b = Mm(x2, y2);
    if (line_.isEmpty() || colour != colour_ || style != style_ || line_.back() != a) {
      Flush();
      line_ << a;
      colour_ = colour;
      style_ = style;
    }
    if (b != line_.back()) line_ << b;
  }
  void Label(double x, double y, const std::string& text, const secplot::LabelFont& font,
             secplot::Colour foreground, secplot::Colour) override {
    if (text.empty() || !Inside(x, y)) return;
    const double height = std::max(font.points * 25.4 / 72.0, kSmallestTextMm);
    QPointF at = Mm(x, y);
    if (font.escapement == 900) at = FreePlaceForHeight(at, text, height);
    sheet_.Text(at, text, height, PaperColour(foreground), font.escapement / 10.0,
                SheetPainter::kTopLeft);
  }
  void Flush() {
    if (line_.size() >= 2) sheet_.Polyline(line_, kGroundPenMm, PaperColour(colour_), style_);
    line_.clear();
  }

 private:
  bool Inside(double x, double y) const {
    return x >= frame_.x0 && x <= frame_.xr && y >= frame_.y0 && y <= frame_.yt;
  }
  // A height label stands upright, reading upward from its point: its box reaches a line
  // of the font (ascent and descent, 1.12 text heights) to the right and its length up.
  // Where it would cross a label already written (the same offset in another file, with
  // a height close by), it stands beside it, right or left, at most two labels' widths
  // from its point; paper has no opaque boxes to hide one under the other. Where every
  // place beside is taken too, it takes the one it shares least of.
  QPointF FreePlaceForHeight(QPointF at, const std::string& text, double height) {
    const double length = sheet_.TextWidthMm(text, height), across = kLineOfText * height;
    return QPointF(UprightLabelLeft(heightLabels_, at.x(), at.y() - length, at.y(), across,
                                    across + kLabelGapMm),
                   at.y());
  }
  static constexpr double kLabelGapMm = 0.3, kLineOfText = 1.12;
  SheetPainter& sheet_;
  SectionFrame frame_;
  QRectF frameMm_;
  std::vector<LabelBox> heightLabels_;  // the boxes of the height labels written
  QPolygonF line_;
  secplot::Colour colour_ = 0;
  int style_ = 0;
};

std::string ScalesText(double h, double v) {
  return "Hor 1/" + toolkit::PlainNumberText(h) + "  Vert 1/" + toolkit::PlainNumberText(v);
}

// The frame with its ticks; the title, legend and note under it.
QRectF FramePlace(const SheetChoice& c) {
  const double w = c.paper.longMm, h = c.paper.shortMm;
  const double blockH = c.frame.heightMm + kTitleStripMm;
  const double left = (w - c.frame.widthMm) / 2;
  const double top = (h - blockH) / 2;
  return QRectF(left, top, c.frame.widthMm, c.frame.heightMm);
}

void DrawFrame(SheetPainter& sheet, const SectionFrame& f, QRectF place) {
  SheetCanvas at(sheet, f, place);
  sheet.Rectangle(place, kFramePenMm, 0);
  // The frame's lower edge is the datum: drawn heavier and labelled with its level
  // under its left end.
  sheet.Polyline(QPolygonF{place.bottomLeft(), place.bottomRight()}, kGroundPenMm, 0,
                 secplot::kSolid);
  sheet.Text(QPointF(place.left(), place.bottom() + 0.5), DatumText(f.y0), kLegendMm, 0, 0,
             SheetPainter::kTopLeft);
  const double tickFont = secplot::kTickFont.points * 25.4 / 72.0;
  for (long double x : secplot::TickValues(f.x0, f.gx, f.xr)) {
    const QPointF top = at.Mm(double(x), f.yt);
    const QPointF end(top.x(), top.y() + kTickAcrossMm);
    sheet.Polyline(QPolygonF{top, end}, kTickPenMm, secplot::kTickBlue, secplot::kSolid);
    // A tick on a side of the frame has its value inside the frame, clear of the side.
    if (double(x) >= f.xr)
      sheet.Text(QPointF(end.x() - kEdgeGapMm, end.y()), secplot::LevelLabel(x), tickFont, 0, 0,
                 SheetPainter::kTopRight);
    else
      sheet.Text(QPointF(end.x() + (double(x) <= f.x0 ? kEdgeGapMm : 0), end.y()),
                 secplot::LevelLabel(x), tickFont, 0, 0, SheetPainter::kTopLeft);
  }
  for (long double y : secplot::TickValues(f.y0, f.gy, f.yt)) {
    const QPointF left = at.Mm(f.x0, double(y));
    const QPointF end(left.x() + kTickUpMm, left.y());
    sheet.Polyline(QPolygonF{left, end}, kTickPenMm, secplot::kTickBlue, secplot::kSolid);
    sheet.Text(end, secplot::LevelLabel(y), tickFont, 0, 0, SheetPainter::kTopLeft);
  }
}

void DrawTitleBlock(SheetPainter& sheet, const SheetChoice& c, QRectF place,
                    const SectionPage& page, const std::vector<std::string>& files,
                    const std::string& note) {
  const double cx = place.center().x();
  double y = place.bottom() + 3;
  const std::string title =
      SectionTitle(ShownName(page.name), c.frame.horizontal, c.frame.vertical, page.chainage);
  // Under a narrow frame the title would reach the datum's label: it goes below it.
  if (cx - sheet.TextWidthMm(title, kTitleMm, true) / 2 <
      place.left() + sheet.TextWidthMm(DatumText(c.frame.y0), kLegendMm) + 1)
    y = place.bottom() + 1 + kLegendMm * 1.2;
  sheet.Text(QPointF(cx, y), title, kTitleMm, 0, 0, SheetPainter::kTopCentre, true);
  y += kTitleMm + 3;
  // Legend: a sample of each file's line and its name, in one row under the title.
  std::vector<std::string> names;
  double width = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string name = BaseName(files[i]);
    if (!page.present[i]) name += " (no section " + ShownName(page.name) + ")";
    names.push_back(name);
    width += 14 + sheet.TextWidthMm(name, kLegendMm) + 8;
  }
  double x = cx - width / 2;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const int k = static_cast<int>(i) + 1;
    const double mid = y + kLegendMm / 2;
    if (page.present[i])  // a file without the section has no line on the page
      sheet.Polyline(QPolygonF{QPointF(x, mid), QPointF(x + 12, mid)}, kGroundPenMm,
                     PaperColour(secplot::FileColour(k)), secplot::FilePenStyle(k));
    x += 14;
    sheet.Text(QPointF(x, y), names[i], kLegendMm, 0, 0, SheetPainter::kTopLeft);
    x += sheet.TextWidthMm(names[i], kLegendMm) + 8;
  }
  y += kLegendMm + 2.5;
  if (!note.empty())
    sheet.Text(QPointF(cx, y), note, kNoteMm, 0, 0, SheetPainter::kTopCentre, false, true);
  // Sheet size and date in the lower right corner.
  const std::string stamp =
      c.paper.name + "  " + QDate::currentDate().toString(Qt::ISODate).toStdString();
  sheet.Text(QPointF(c.paper.longMm - kSheetMarginMm / 2, c.paper.shortMm - kSheetMarginMm / 2),
             stamp, kSmallestTextMm, 0, 0, SheetPainter::kBottomRight);
}

std::string NoteFor(const SheetChoice& c, const SectionsOptions& o) {
  std::string note;
  if (c.largerSheet && !c.scalesChanged)
    note = "Drawn on " + c.paper.name + ": the section does not fit " + o.paper + " at " +
           ScalesText(o.horizontal, o.vertical) + ".";
  else if (c.scalesChanged)
    note = "Scales changed to fit " + c.paper.name + ": asked " +
           ScalesText(o.horizontal, o.vertical) + ".";
  return note;
}

// One PDF, one page a section; or one SVG file a section.
class SheetOutput {
 public:
  SheetOutput(const SectionsOptions& o, Format format, bool oneSection)
      : options_(o), format_(format), oneSection_(oneSection) {}

  secplot::SectionCanvas* Begin(const SectionPage& page, const SectionRun& run,
                                std::string* error) {
    const auto asked = PaperNamed(options_.paper);
    const auto choice = ChooseSheet(page.extent, options_.horizontal, options_.vertical,
                                    options_.heights, *asked, options_.fit);
    const std::string shown = ShownName(page.name);
    if (!choice || !choice->fits) {
      *error = "section " + shown + " reaches too far to be drawn on " +
               (choice ? choice->paper.name : options_.paper) + " even at 1/" +
               toolkit::PlainNumberText(SectionScaleSeries().back());
      return nullptr;
    }
    choice_ = *choice;
    note_ = NoteFor(choice_, options_);
    if (!note_.empty()) notes_.push_back("section " + shown + ": " + note_);
    SheetPage sheetPage;
    sheetPage.layout =
        QPageLayout(QPageSize(PageSizeId(choice_.paper.name)), QPageLayout::Landscape, QMarginsF());
    sheetPage.widthMm = choice_.paper.longMm;
    sheetPage.heightMm = choice_.paper.shortMm;
    if (format_ == Format::Pdf) {
      if (pages_ == 0) {
        if (std::string e = pending_.Reserve(options_.output, options_.overwrite); !e.empty()) {
          *error = e;
          return nullptr;
        }
        sheetPage.title = QString::fromStdString(BaseName(options_.output));
        *error = file_.Begin(format_, pending_.TempPath(), options_.output, sheetPage);
      } else {
        *error = file_.NewPage(sheetPage);
      }
    } else {
      // One file a page, all of them one pending set: complete together or absent.
      if (pages_ == 0) {
        if (std::string e = pending_.ReserveSet(options_.output, options_.overwrite); !e.empty()) {
          *error = e;
          return nullptr;
        }
      }
      const std::string target = SvgPagePath(options_.output, page.number, oneSection_);
      std::string path;
      if (std::string e = pending_.AddToSet(target, &path); !e.empty()) {
        *error = e;
        return nullptr;
      }
      sheetPage.title = QString::fromStdString(
          SectionTitle(shown, choice_.frame.horizontal, choice_.frame.vertical, page.chainage));
      sheetPage.description = PageMark(page.number);
      *error = file_.Begin(format_, path, target, sheetPage);
    }
    if (!error->empty()) return nullptr;
    sheet_ = std::make_unique<SheetPainter>(file_.Painter(), file_.DotsPerMm());
    sheet_->Fill(QRectF(0, 0, choice_.paper.longMm, choice_.paper.shortMm), 0xffffff);
    place_ = FramePlace(choice_);
    DrawFrame(*sheet_, choice_.frame, place_);
    canvas_ = std::make_unique<SheetCanvas>(*sheet_, choice_.frame, place_);
    sheet_->ClipTo(place_);
    (void)run;
    return canvas_.get();
  }

  std::string End(const SectionPage& page, const SectionRun& run) {
    canvas_.reset();  // draws the last line
    sheet_->ClipTo(QRectF());
    DrawTitleBlock(*sheet_, choice_, place_, page, run.FileNames(), note_);
    ++pages_;
    if (format_ == Format::Svg) {
      sheet_.reset();
      return file_.End();
    }
    // A PDF that cannot be written stops at the page where it failed.
    return file_.Check();
  }

  std::string Finish(SectionsResult* result) {
    sheet_.reset();
    if (format_ == Format::Pdf) {
      if (std::string e = file_.End(); !e.empty()) return e;
    }
    // The pages of an older, longer drawing of this name past this one's end would pass
    // for part of it: with --overwrite they go with the rest of the drawing they belonged
    // to, in the same held moment as the move, but only pages that say they are its own.
    SignalsHeld held;
    if (pages_ > 0) {
      if (std::string e = pending_.Commit(); !e.empty()) return e;
    }
    if (format_ == Format::Svg && !oneSection_ && options_.overwrite && pages_ > 0)
      RemoveOlderPages();
    if (result) {
      result->pages = pages_;
      result->notes = notes_;
      for (int i = 1; i <= pages_; ++i)
        result->written.push_back(format_ == Format::Pdf
                                      ? options_.output
                                      : SvgPagePath(options_.output, i, oneSection_));
      if (format_ == Format::Pdf) result->written.resize(1);
    }
    return {};
  }

  // What a page of the drawing says it is ("page 4 of the drawing ROAD.svg").
  QString PageMark(int page) const {
    return QString::fromStdString("page " + std::to_string(page) + " of the drawing " +
                                  BaseName(options_.output));
  }

  void RemoveOlderPages() {
    int removed = 0;
    std::string left;
    for (int k = pages_ + 1;; ++k) {
      const std::string path = SvgPagePath(options_.output, k, false);
      std::ifstream in(path, std::ios::binary);
      if (!in) break;
      std::string head(8192, '\0');
      in.read(head.data(), static_cast<std::streamsize>(head.size()));
      head.resize(static_cast<std::size_t>(in.gcount()));
      const std::string mark = "<desc>" + PageMark(k).toHtmlEscaped().toStdString() + "</desc>";
      if (head.find(mark) == std::string::npos || ::unlink(path.c_str()) != 0) {
        left = path;
        break;
      }
      ++removed;
    }
    if (removed > 0)
      notes_.push_back(
          "removed " + std::to_string(removed) + " older page" + (removed == 1 ? "" : "s") +
          " of the drawing past its new end (" +
          Shown(SvgPagePath(options_.output, pages_ + 1, false)) +
          (removed == 1 ? ""
                        : " to " + Shown(SvgPagePath(options_.output, pages_ + removed, false))) +
          ")");
    if (!left.empty())
      notes_.push_back(Shown(left) +
                       " stands after the drawing's last page but is not one of its older pages: "
                       "left as it is");
  }

  void Abandon() {
    canvas_.reset();
    sheet_.reset();
    file_.Abandon();
    pending_.Discard();  // removes what was written
  }

 private:
  static QPageSize::PageSizeId PageSizeId(const std::string& name) {
    if (name == "A0") return QPageSize::A0;
    if (name == "A1") return QPageSize::A1;
    if (name == "A2") return QPageSize::A2;
    if (name == "A3") return QPageSize::A3;
    return QPageSize::A4;
  }

  const SectionsOptions& options_;
  Format format_;
  bool oneSection_;
  PendingOutput pending_;
  SheetFile file_;
  std::unique_ptr<SheetPainter> sheet_;
  std::unique_ptr<SheetCanvas> canvas_;
  SheetChoice choice_;
  QRectF place_;
  std::string note_;
  std::vector<std::string> notes_;
  int pages_ = 0;
};

}  // namespace

std::string DrawSections(const SectionsOptions& o, const Progress& progress,
                         SectionsResult* result) {
  const Format format = FormatFromPath(o.output);
  if (format != Format::Pdf && format != Format::Svg && format != Format::Dxf)
    return o.output + ": sections are drawn to .pdf, .svg or .dxf";
  if (!PaperNamed(o.paper)) return "unknown paper " + o.paper + " (A4, A3, A2, A1 or A0)";
  if (!(std::isfinite(o.horizontal) && o.horizontal > 0 && std::isfinite(o.vertical) &&
        o.vertical > 0))
    return "the scales must be numbers above 0";

  SectionRun run;
  if (std::string e = run.Open(o.inputs, o.heights); !e.empty()) return e;
  const std::string to = o.to.empty() ? o.from : o.to;

  if (format == Format::Dxf) return DrawSectionsDxf(o, run, to, progress, result);

  auto app = EnsureGuiApplication();
  SheetOutput out(o, format,
                  secplot::SameSectionName(secplot::PadName(o.from), secplot::PadName(to)));
  const std::string failed = run.Walk(
      o.from, to,
      [&](const SectionPage& page, std::string* error) { return out.Begin(page, run, error); },
      [&](const SectionPage& page) { return out.End(page, run); }, progress);
  if (!failed.empty()) {
    out.Abandon();
    return failed;
  }
  if (std::string e = out.Finish(result); !e.empty()) {
    out.Abandon();
    return e;
  }
  return {};
}

}  // namespace surveyexport
