// Page layout arithmetic: wrapping, pages, labels, paper without a printer, the page
// view's fit and zoom, scroll bars and margins in the page setup dialog's units.
#include <QtTest>

#include <random>

#include "fuzz/viewer/wrap_reference.h"
#include "viewer/page_layout.h"

using Lines = std::vector<std::u16string>;
Q_DECLARE_METATYPE(Lines)
Q_DECLARE_METATYPE(std::u16string)

namespace {

// Every character 8 pixels wide, as a fixed-pitch font at 10 points on a 96 dpi screen.
int FixedWidth(std::u16string_view s) { return static_cast<int>(s.size()) * 8; }

// A proportional metric: blanks narrow, capitals wide.
int ProportionalWidth(std::u16string_view s) {
  int w = 0;
  for (char16_t c : s) w += c == u' ' ? 3 : (c >= u'A' && c <= u'Z') ? 11 : (c % 5) + 5;
  return w;
}

viewer::PageSettings NoPrinter(int measurementSystem, int dpi = 96) {
  viewer::PageSettings s;
  viewer::SetDefaultMarginsAndFont(s, measurementSystem);
  s.screenResolutionX = s.screenResolutionY = dpi;
  return s;
}

}  // namespace

class TestViewerLayout : public QObject {
  Q_OBJECT

 private slots:
  void wrap_data() {
    QTest::addColumn<std::u16string>("text");
    QTest::addColumn<double>("textWidth");
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<int>("pages");
    QTest::newRow("one line without CR LF")
        << std::u16string(u"abc") << 80.0 << 10 << Lines{u"abc", u""} << 1;
    QTest::newRow("one line with CR LF")
        << std::u16string(u"abc\r\n") << 80.0 << 10 << Lines{u"abc", u""} << 1;
    QTest::newRow("lone CR and LF do not split")
        << std::u16string(u"a\rb\nc") << 80.0 << 10 << Lines{u"a\rb\nc", u""} << 1;
    // 3 lines + the empty element = 4 = 2 x 2: an extra page with the heading only.
    QTest::newRow("exact multiple of lines per page")
        << std::u16string(u"a\r\nb\r\nc\r\n") << 80.0 << 2 << Lines{u"a", u"b", u"c", u""} << 3;
    QTest::newRow("one short of a multiple")
        << std::u16string(u"a\r\nb\r\n") << 80.0 << 2 << Lines{u"a", u"b", u""} << 2;
    // 10 characters fit in 80 pixels.
    QTest::newRow("unbreakable line is cut, the rest dropped")
        << std::u16string(u"ABCDEFGHIJKLMNOP") << 80.0 << 10 << Lines{u"ABCDEFGHIJ", u""} << 1;
    QTest::newRow("word break at the last fitting blank")
        << std::u16string(u"one two three four five") << 80.0 << 10
        << Lines{u"one two ", u"three ", u"four five", u""} << 1;
    QTest::newRow("only break is a leading blank")
        << std::u16string(u" ABCDEFGHIJKLMN") << 80.0 << 10 << Lines{u" ", u"ABCDEFGHIJ", u""} << 1;
    QTest::newRow("trailing blank does not make a fitting piece")
        << std::u16string(u"ABCDEFGHIJK ") << 80.0 << 10 << Lines{u"ABCDEFGHIJ", u""} << 1;
    QTest::newRow("exact fit stays whole")
        << std::u16string(u"ABCDEFGHIJ") << 80.0 << 10 << Lines{u"ABCDEFGHIJ", u""} << 1;
    QTest::newRow("width compared as a real number")
        << std::u16string(u"ABCDEFGHIJ") << 79.5 << 10 << Lines{u"ABCDEFGHI", u""} << 1;
    QTest::newRow("nothing fits: left as it is")
        << std::u16string(u"ABC") << 5.0 << 10 << Lines{u"ABC", u""} << 1;
    QTest::newRow("blank beyond the fitting part")
        << std::u16string(u"ABCDEFGHIJKLM NO") << 80.0 << 10 << Lines{u"ABCDEFGHIJ", u""} << 1;
    QTest::newRow("many lines, many pages") << std::u16string(u"1\r\n2\r\n3\r\n4\r\n5") << 80.0 << 2
                                            << Lines{u"1", u"2", u"3", u"4", u"5", u""} << 4;
  }
  void wrap() {
    QFETCH(std::u16string, text);
    QFETCH(double, textWidth);
    QFETCH(int, linesPerPage);
    QFETCH(Lines, lines);
    QFETCH(int, pages);
    Lines got{u"stale"};
    QCOMPARE(viewer::WrapLines(FixedWidth, textWidth, text, got, linesPerPage), pages);
    QCOMPARE(got, lines);
  }

  void emptyTextWrapsTheLinesHeld() {
    Lines lines{u"ABCDEFGHIJKL", u"x"};
    QCOMPARE(viewer::WrapLines(FixedWidth, 80.0, u"", lines, 1), 3);
    QCOMPARE(lines, (Lines{u"ABCDEFGHIJ", u"x"}));
    Lines none;
    QCOMPARE(viewer::WrapLines(FixedWidth, 80.0, u"", none, 5), 1);
    QVERIFY(none.empty());
  }

  // A long line with blanks: wrapped into all of its pieces, none lost.
  void longLineKeepsEveryWord() {
    std::u16string line;
    for (int k = 0; k < 20000; ++k) line += u"word ";
    Lines lines;
    viewer::WrapLines(FixedWidth, 80.0, line, lines, 50);
    QCOMPARE(lines.size(), std::size_t(20000 / 2 + 1));  // "word word " is 80 pixels
    std::u16string joined;
    for (const auto& l : lines) joined += l;
    QVERIFY(joined == line);
  }

  // The fast wrapping gives what the step-by-step rule gives, over many random texts.
  void matchesTheStepByStepRule_data() {
    QTest::addColumn<bool>("proportional");
    QTest::newRow("fixed pitch") << false;
    QTest::newRow("proportional") << true;
  }
  void matchesTheStepByStepRule() {
    QFETCH(bool, proportional);
    const viewer::TextWidthFn width =
        proportional ? viewer::TextWidthFn(ProportionalWidth) : viewer::TextWidthFn(FixedWidth);
    std::mt19937 rng(20240611);
    const char16_t alphabet[] = u"  aAbB\r\n.x\xD83D\xDE00";
    for (int run = 0; run < 3000; ++run) {
      std::u16string text;
      const int len = static_cast<int>(rng() % 60);
      for (int k = 0; k < len; ++k) text += alphabet[rng() % (std::size(alphabet) - 1)];
      const double limit = static_cast<double>(rng() % 120) + (rng() % 2) * 0.5;
      const int lpp = 1 + static_cast<int>(rng() % 5);
      Lines fast, slow;
      const int pf = viewer::WrapLines(width, limit, text, fast, lpp);
      const int ps = viewer_reference::WrapLinesStepByStep(width, limit, text, slow, lpp);
      if (fast != slow || pf != ps) {
        QFAIL(qPrintable(QStringLiteral("differs for \"%1\" at width %2")
                             .arg(QString::fromStdU16String(text))
                             .arg(limit)));
      }
    }
  }

  void linesPerPage_data() {
    QTest::addColumn<float>("textHeight");
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("fits");
    QTest::newRow("A4 at 96 dpi, 16 px lines") << 972.6f << 16 << 60 << true;
    QTest::newRow("rounded text height") << 31.5f << 16 << 2 << true;  // 32 / 16
    QTest::newRow("exactly one line") << 16.0f << 16 << 1 << true;
    QTest::newRow("less than a line") << 15.0f << 16 << 1 << false;
    QTest::newRow("margins past the page") << -300.0f << 16 << 1 << false;
    QTest::newRow("zero cell height") << 900.0f << 0 << 1 << false;
  }
  void linesPerPage() {
    QFETCH(float, textHeight);
    QFETCH(int, cell);
    QFETCH(int, lines);
    QFETCH(bool, fits);
    const viewer::LinesPerPageResult r = viewer::LinesPerPageOf(textHeight, cell);
    QCOMPARE(r.lines, lines);
    QCOMPARE(r.fits, fits);
  }

  // Lines on paper are whole lines of the printer's line pitch: a page never takes a
  // line that would end past the bottom margin (rounding the text height up did).
  void linesOnPaper_data() {
    QTest::addColumn<double>("textHeight");
    QTest::addColumn<double>("pitch");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("fits");
    // Letter at 1200 dpi, 20 mm margins, Courier New 10 pt: 189 px lines.
    QTest::newRow("Letter") << 11310.24 << 189.0 << 59 << true;
    QTest::newRow("A4") << 12144.33 << 189.0 << 64 << true;
    QTest::newRow("a hair short of a line") << 189.0 * 60 - 0.4 << 189.0 << 59 << true;
    QTest::newRow("exactly 60 lines") << 189.0 * 60 << 189.0 << 60 << true;
    QTest::newRow("less than a line") << 150.0 << 189.0 << 1 << false;
    QTest::newRow("margins past the page") << -300.0 << 189.0 << 1 << false;
    QTest::newRow("no pitch") << 900.0 << 0.0 << 1 << false;
    QTest::newRow("not a number") << std::nan("") << 189.0 << 1 << false;
  }
  void linesOnPaper() {
    QFETCH(double, textHeight);
    QFETCH(double, pitch);
    QFETCH(int, lines);
    QFETCH(bool, fits);
    const viewer::LinesPerPageResult r = viewer::LinesOnPaper(textHeight, pitch);
    QCOMPARE(r.lines, lines);
    QCOMPARE(r.fits, fits);
  }

  void pageLineRange_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("elements");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("first page") << 1 << 10 << 25 << 1 << 10;
    QTest::newRow("last, partial") << 3 << 10 << 25 << 21 << 25;
    QTest::newRow("extra page of an exact multiple") << 3 << 10 << 20 << 20 << 20;
    QTest::newRow("single element") << 1 << 10 << 1 << 1 << 1;
  }
  void pageLineRange() {
    QFETCH(int, page);
    QFETCH(int, perPage);
    QFETCH(int, elements);
    QFETCH(int, first);
    QFETCH(int, last);
    const viewer::LineRange r = viewer::PageLineRange(page, perPage, std::size_t(elements));
    QCOMPARE(int(r.first), first);
    QCOMPARE(int(r.last), last);
  }

  void labelsAndNames_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");
    QTest::newRow("no file") << "QOVA File View"
                             << "Untitled";
    QTest::newRow("unix path") << "QOVA File View - /home/s/SITE.NEH"
                               << "SITE.NEH";
    QTest::newRow("windows path") << "QOVA File View - C:\\qova\\A B.TXT "
                                  << "A B.TXT";
    QTest::newRow("ends with a separator") << "x/"
                                           << "";
  }
  void labelsAndNames() {
    QFETCH(QString, caption);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdU16String(viewer::NameFromCaption(caption.toStdU16String())), name);
  }

  void headingText() {
    QCOMPARE(viewer::PageLabel(1, 3), std::string("Page 1/3"));
    QCOMPARE(viewer::PageLabel(12, 120), std::string("Page 12/120"));
    const std::u16string h =
        viewer::PageHeading(u"SITE.NEH", viewer::PageLabel(2, 3), "06-11-2024", "14:05:09");
    QCOMPARE(QString::fromStdU16String(h),
             QString("SITE.NEH  |  Page 2/3  |  06-11-2024, 14:05:09"));
  }

  void defaults_data() {
    QTest::addColumn<int>("system");
    QTest::addColumn<float>("margin");
    QTest::newRow("U.S. units") << 1 << 20.32f;
    QTest::newRow("metric") << 0 << 20.0f;
  }
  void defaults() {
    QFETCH(int, system);
    QFETCH(float, margin);
    viewer::PageSettings s;
    viewer::SetDefaultMarginsAndFont(s, system);
    QCOMPARE(s.leftMargin, margin);
    QCOMPARE(s.topMargin, margin);
    QCOMPARE(s.rightMargin, margin);
    QCOMPARE(s.bottomMargin, margin);
    QCOMPARE(std::string(s.fontName), std::string("Courier New"));
    QCOMPARE(s.fontSize, 10);
    QCOMPARE(s.fontStyle, 0);
  }

  void fontNames() {
    viewer::PageSettings s;
    const std::string longName(100, 'F');
    viewer::SetFontName(s, longName);
    QCOMPARE(std::string(s.fontName), std::string(63, 'F'));
    QCOMPARE(viewer::FontFaceForCreation(s), std::string(31, 'F'));
  }

  // Without a printer the page is A4 or letter at the screen's resolution.
  void paperWithoutPrinter_data() {
    QTest::addColumn<int>("system");
    QTest::addColumn<int>("imageWidth");
    QTest::addColumn<int>("imageHeight");
    QTest::addColumn<float>("textWidth");
    QTest::newRow("metric: A4") << 0 << 794 << 1123 << float(793.7007874 - 2 * 75.590551 + 2);
    QTest::newRow("U.S.: letter") << 1 << 816 << 1056 << float(816 - 2 * 76.8 + 2);
  }
  void paperWithoutPrinter() {
    QFETCH(int, system);
    QFETCH(int, imageWidth);
    QFETCH(int, imageHeight);
    QFETCH(float, textWidth);
    viewer::PageSettings s = NoPrinter(system);
    const viewer::PixelSize px = viewer::ComputePageImage(s);
    QCOMPARE(px.width, imageWidth);
    QCOMPARE(px.height, imageHeight);
    QCOMPARE(s.orientation, 1);
    QCOMPARE(s.printerResolutionX, 96);
    QVERIFY(qAbs(s.textWidth - textWidth) < 0.01f);
    // Later previews keep the paper the first one chose.
    const float w = s.pageWidth;
    viewer::ComputePageImage(s);
    QCOMPARE(s.pageWidth, w);
  }

  void paperOfAPrinter() {
    viewer::PageSettings s = NoPrinter(0);
    s.printerResolutionX = s.printerResolutionY = 600;
    s.pageWidth = 4960;  // A4 at 600 dpi
    s.pageHeight = 7016;
    s.orientation = 1;
    const viewer::PixelSize px = viewer::ComputePageImage(s);
    QCOMPARE(px.width, 794);    // 4960 * 96 / 600 = 793.6
    QCOMPARE(px.height, 1123);  // 7016 * 96 / 600 = 1122.56
    QVERIFY(qAbs(s.leftMarginPixels - 75.590551f) < 0.001f);
  }

  // Fit mode: a 7-pixel gap, portrait by height first, landscape by width first.
  void fitPlacement_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("cw");
    QTest::addColumn<int>("ch");
    QTest::addColumn<int>("viewWidth");
    QTest::addColumn<int>("viewHeight");
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    // page 1000 x 2000 printer pixels
    QTest::newRow("portrait, tall canvas limits the width")
        << 1 << 414 << 2000 << 400 << 800 << 7 << 600;
    QTest::newRow("portrait, height first") << 1 << 2000 << 414 << 200 << 400 << 900 << 7;
    QTest::newRow("landscape, width first") << 2 << 414 << 2000 << 400 << 800 << 7 << 600;
    QTest::newRow("landscape, short canvas limits the height")
        << 2 << 2000 << 414 << 200 << 400 << 900 << 7;
  }
  void fitPlacement() {
    QFETCH(int, orientation);
    QFETCH(int, cw);
    QFETCH(int, ch);
    QFETCH(int, viewWidth);
    QFETCH(int, viewHeight);
    QFETCH(int, x0);
    QFETCH(int, y0);
    viewer::PageSettings s = NoPrinter(0);
    s.pageWidth = 1000;
    s.pageHeight = 2000;
    s.orientation = orientation;
    s.imageWidth = 500;
    s.imageHeight = 1000;
    s.zoom = 0;
    const viewer::ViewPlacement v = viewer::PlacePageView(s, cw, ch);
    QCOMPARE(qRound(v.viewWidth), viewWidth);
    QCOMPARE(qRound(v.viewHeight), viewHeight);
    QCOMPARE(v.x0, x0);
    QCOMPARE(v.y0, y0);
    // In fit mode the page and its gaps never need a scroll bar.
    QVERIFY(v.totalWidth <= cw);
    QVERIFY(v.totalHeight <= ch);
  }

  void zoomPlacement() {
    viewer::PageSettings s = NoPrinter(0);
    viewer::ComputePageImage(s);  // A4: 793.7 x 1122.5
    s.zoom = 100;
    viewer::ViewPlacement v = viewer::PlacePageView(s, 600, 500);
    QCOMPARE(qRound(v.viewHeight), 1123);  // round(1122.52): the page at its true size
    QCOMPARE(v.x0, 7);
    QCOMPARE(v.y0, 7);
    QVERIFY(v.totalWidth > 600 && v.totalHeight > 500);
    s.zoom = 75;
    v = viewer::PlacePageView(s, 2000, 2000);
    // 595 x 842 available; the page is 595.36 wide at that height, so the width limits
    QVERIFY(qAbs(v.viewWidth - 595.0f) < 1e-3f);
    QVERIFY(qAbs(v.viewHeight - 841.49f) < 0.01f);
    QCOMPARE(v.x0, 702);  // (2000 - 595) / 2 = 702.5, to even
    QCOMPARE(viewer::NextZoom(0), 75);
    QCOMPARE(viewer::NextZoom(75), 100);
    QCOMPARE(viewer::NextZoom(100), 0);
  }

  void guides() {
    viewer::PageSettings s = NoPrinter(0);
    viewer::ComputePageImage(s);
    s.viewWidth = s.imageWidth / 2;
    s.viewHeight = s.imageHeight / 2;
    viewer::SetViewGuides(s);
    QVERIFY(qAbs(s.viewScaleX - 0.5f) < 1e-6f);
    QVERIFY(qAbs(s.viewLeftGuide - 37.795f) < 0.01f);
    QVERIFY(qAbs(s.viewRightGuide - (s.viewWidth - 37.795f - 2)) < 0.01f);
  }

  void scrollRanges_data() {
    QTest::addColumn<int>("cw");
    QTest::addColumn<int>("ch");
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<bool>("hShown");
    QTest::addColumn<bool>("vShown");
    QTest::addColumn<bool>("hAfter");
    QTest::addColumn<bool>("vAfter");
    QTest::addColumn<int>("hPage");
    QTest::addColumn<int>("vPage");
    QTest::newRow("fits, no bars")
        << 500 << 400 << 500 << 400 << false << false << false << false << 500 << 400;
    QTest::newRow("too tall: vertical bar takes width")
        << 500 << 400 << 300 << 900 << false << false << false << true << 483 << 400;
    QTest::newRow("too wide: horizontal bar takes height")
        << 500 << 400 << 900 << 300 << false << false << true << false << 500 << 383;
    QTest::newRow("both") << 500 << 400 << 900 << 900 << false << false << true << true << 483
                          << 383;
    QTest::newRow("bar goes again")
        << 483 << 400 << 300 << 300 << false << true << false << false << 500 << 400;
  }
  void scrollRanges() {
    QFETCH(int, cw);
    QFETCH(int, ch);
    QFETCH(int, W);
    QFETCH(int, H);
    QFETCH(bool, hShown);
    QFETCH(bool, vShown);
    QFETCH(bool, hAfter);
    QFETCH(bool, vAfter);
    QFETCH(int, hPage);
    QFETCH(int, vPage);
    const viewer::ScrollRanges r =
        viewer::ComputeScrollRanges(cw, ch, W, H, hShown, vShown, 17, 17);
    QCOMPARE(r.hShown, hAfter);
    QCOMPARE(r.vShown, vAfter);
    QCOMPARE(r.hPage, hPage);
    QCOMPARE(r.vPage, vPage);
    QCOMPARE(r.hMax, std::max<std::int64_t>(hPage, W) - 1);
  }

  // After a zoom step the clicked third of the page stays in view.
  void placeScroll_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("click");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("expected");
    // bar range 0..1199, page 500 -> furthest 700; previous view 600 in a 600 canvas
    QTest::newRow("left third") << 0 << 100 << false << false << 0;
    QTest::newRow("right third") << 0 << 500 << false << false << 700;
    QTest::newRow("middle") << 0 << 300 << false << false << 300;  // 1199 * 300 / 600 - 300
    QTest::newRow("fit mode") << 0 << 500 << true << false << 0;
    QTest::newRow("vertical, top third at position 0") << 0 << 100 << false << true << 0;
    QTest::newRow("vertical, top third scrolled")
        << 50 << 100 << false << true << 200;  // 1199 * 150 / 600 - 100
  }
  void placeScroll() {
    QFETCH(int, position);
    QFETCH(int, click);
    QFETCH(bool, fit);
    QFETCH(bool, vertical);
    QFETCH(int, expected);
    int previous = 600;
    const std::int64_t p = viewer::PlaceScrollPosition(position, 1199, 500, click, 600, 1187.0f,
                                                       previous, fit, vertical);
    QCOMPARE(int(p), expected);
    QCOMPARE(previous, 1200);  // the new view + 13
  }

  void firstPlacementSetsThePreviousView() {
    int previous = 0;
    viewer::PlaceScrollPosition(0, 99, 100, 0, 100, 87.0f, previous, true, false);
    QCOMPARE(previous, 100);
  }

  void scrollRequests_data() {
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("tracked");
    QTest::addColumn<int>("expected");
    using R = viewer::ScrollRequest;
    QTest::newRow("line down") << int(R::LineForward) << 0 << 0 << 10;
    QTest::newRow("line up at the top") << int(R::LineBack) << 5 << 0 << 0;
    QTest::newRow("page down") << int(R::PageForward) << 0 << 0 << 300;
    QTest::newRow("page down at the end") << int(R::PageForward) << 600 << 0 << 700;
    QTest::newRow("page up") << int(R::PageBack) << 400 << 0 << 100;
    QTest::newRow("thumb") << int(R::Thumb) << 0 << 444 << 444;
    QTest::newRow("thumb past the end") << int(R::Thumb) << 0 << 5000 << 700;
  }
  void scrollRequests() {
    QFETCH(int, request);
    QFETCH(int, position);
    QFETCH(int, tracked);
    QFETCH(int, expected);
    QCOMPARE(int(viewer::ScrollTo(viewer::ScrollRequest(request), position, 999, 300, tracked)),
             expected);
  }

  void marginsInDialogUnits_data() {
    QTest::addColumn<int>("system");
    QTest::addColumn<float>("mm");
    QTest::addColumn<int>("dialog");
    QTest::newRow("metric 20 mm") << 0 << 20.0f << 2000;
    QTest::newRow("U.S. 0.8 inch") << 1 << 20.32f << 800;
    QTest::newRow("metric 12.346 mm") << 0 << 12.346f << 1235;
  }
  void marginsInDialogUnits() {
    QFETCH(int, system);
    QFETCH(float, mm);
    QFETCH(int, dialog);
    QCOMPARE(int(viewer::MarginToDialog(mm, system)), dialog);
    QVERIFY(qAbs(viewer::MarginFromDialog(dialog, system) - mm) < 0.01f);
  }

  void printOrigin() {
    viewer::PageSettings s = NoPrinter(0);
    s.printerResolutionX = s.printerResolutionY = 600;
    s.unprintableLeft = 100;
    s.unprintableTop = 50;
    const viewer::PrintOrigin o = viewer::PrintOriginOf(s);
    QCOMPARE(int(o.left), 372);  // 600 / 25.4 * 20 = 472.44 - 100
    QCOMPARE(int(o.top), 422);
  }

  void roundEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("r");
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("NaN") << std::nan("") << qint64(0);
    QTest::newRow("huge") << 1e300 << qint64(4611686018427387904LL);
    QTest::newRow("minus infinity")
        << -std::numeric_limits<double>::infinity() << qint64(-4611686018427387904LL);
  }
  void roundEven() {
    QFETCH(double, x);
    QFETCH(qint64, r);
    QCOMPARE(qint64(viewer::RoundEven(x)), r);
  }
};

QTEST_GUILESS_MAIN(TestViewerLayout)
#include "tst_viewer_layout.moc"
