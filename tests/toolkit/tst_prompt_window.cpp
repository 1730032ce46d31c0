// The graphic prompt window driven like a surveyor drives it: real key events into the
// area (also while a wait runs), then the returned text, the transcript and the pixels.
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "platform/platform.h"
#include "toolkit/first_field.h"
#include "toolkit/prompt_window.h"

using toolkit::PromptWindow;
using toolkit::Rgb;

namespace {

constexpr long kBlack = 0x000000;
constexpr long kWhite = 0xffffff;

// A dialog holding one prompt window at (0, 0), shown; closes itself when the watchdog
// fires so that no wait can hang the test.
struct Fixture {
  std::unique_ptr<QDialog> dialog;
  PromptWindow* area = nullptr;
  QTimer watchdog;
  bool fired = false;

  explicit Fixture(QSize size = QSize(400, 300)) : dialog(std::make_unique<QDialog>()) {
    area = new PromptWindow(dialog.get(), 3084, size);
    area->move(0, 0);
    dialog->resize(size);
    dialog->show();
    area->SetFocusArea();
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      fired = true;
      if (dialog) {  // show first so that even an area that counts as closed wakes up
        dialog->show();
        dialog->close();
      }
    });
    watchdog.start(15000);
    area->Clear(kBlack);
    area->SetColours(kWhite, kBlack);
    area->SetFont(area->NewFont("Courier New", 8));
  }
};

// Key actions typed as a string: ordinary characters as themselves ('\r' Enter, '\b'
// Backspace, '\x1b' Escape, '\t' Tab); '\x01' Shift alone, '\x02' the Left arrow,
// '\x03' Delete, '\x04' Ctrl alone, '\x05' Caps Lock alone.
void Type(QWidget* w, const QString& keys) {
  for (const QChar c : keys) {
    switch (c.unicode()) {
      case 1:
        QTest::keyClick(w, Qt::Key_Shift);
        break;
      case 2:
        QTest::keyClick(w, Qt::Key_Left);
        break;
      case 3:
        QTest::keyClick(w, Qt::Key_Delete);
        break;
      case 4:
        QTest::keyClick(w, Qt::Key_Control);
        break;
      case 5:
        QTest::keyClick(w, Qt::Key_CapsLock);
        break;
      default:
        if (c.unicode() >= 0x80) {  // a letter of a European keyboard
          QKeyEvent press(QEvent::KeyPress, int(c.unicode()), Qt::NoModifier, QString(c));
          QKeyEvent release(QEvent::KeyRelease, int(c.unicode()), Qt::NoModifier, QString(c));
          QApplication::sendEvent(w, &press);
          QApplication::sendEvent(w, &release);
        } else if (c.isUpper())
          QTest::keyClick(w, c.toLatin1(), Qt::ShiftModifier);
        else
          QTest::keyClick(w, c.toLatin1());
        break;
    }
  }
}

// Types the keys from a timer once the wait has started.
void TypeLater(QWidget* w, const QString& keys, int ms = 10) {
  QPointer<QWidget> guard(w);
  QTimer::singleShot(ms, [guard, keys] {
    if (guard) Type(guard, keys);
  });
}

int CountColour(const QImage& img, QRgb colour, const QRect& r) {
  int n = 0;
  const QRect c = r.intersected(img.rect());
  for (int y = c.top(); y <= c.bottom(); ++y)
    for (int x = c.left(); x <= c.right(); ++x)
      if ((img.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
  return n;
}

// Pixels that are not black (text is anti-aliased: small glyphs have few pure pixels).
int Ink(const QImage& img, const QRect& r) {
  const QRect c = r.intersected(img.rect());
  return c.width() * c.height() - CountColour(img, qRgb(0, 0, 0), c);
}

}  // namespace

class TestPromptWindow : public QObject {
  Q_OBJECT
 private slots:
  void readLineAnswers_data();
  void readLineAnswers();
  void lineIsCutAt255Characters();
  void typingPastTheRightEdgeBeepsAndKeepsTheLine();
  void typedAheadAnswerIsTaken();
  void readLineLeavesNoCaretOrErasedCharacterBehind();
  void waitKeyTexts_data();
  void waitKeyTexts();
  void tabStaysInTheArea();
  void closingTheWindowEndsTheWait_data();
  void closingTheWindowEndsTheWait();
  void destroyingTheWindowDuringAWait();
  void refusedCloseKeepsTheConversation();
  void showingAgainOpensTheArea();
  void transcriptKeepsTheConversation();
  void textLandsAtTheTextPosition();
  void rotatedTextReadsUpward();
  void fontsResolveToMetricCompatibleFaces_data();
  void fontsResolveToMetricCompatibleFaces();
  void worldToPixel_data();
  void worldToPixel();
  void worldWindowIgnoresEmptyOrBadRanges_data();
  void worldWindowIgnoresEmptyOrBadRanges();
  void textFlowsInPixelsUnderAWorldWindow();
  void badWorldPointsAreSkipped();
  void lineToFarPointsDrawsTheVisiblePart();
  void penStyles_data();
  void penStyles();
  void clearAndColours();
  void savedImageRoundTrips();
  void caretBlinksWhileReading();
  void extremeDrawingInputsNeverCrash_data();
  void extremeDrawingInputsNeverCrash();
};

// ---- line input ----------------------------------------------------------------------

void TestPromptWindow::readLineAnswers_data() {
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QString>("line");
  QTest::addColumn<QString>("field");
  QTest::newRow("comma ends the field") << "a, b\r"
                                        << "a, b"
                                        << "a";
  QTest::newRow("blanks around") << "   x1  \r"
                                 << "   x1  "
                                 << "x1";
  QTest::newRow("quoted keeps commas") << " \"a,b\" ,c\r"
                                       << " \"a,b\" ,c"
                                       << "a,b";
  QTest::newRow("empty answer") << "\r"
                                << ""
                                << "";
  QTest::newRow("backspace on empty does nothing") << "\b\bab\r"
                                                   << "ab"
                                                   << "ab";
  QTest::newRow("backspace drops the last") << "abc\b\bd\r"
                                            << "ad"
                                            << "ad";
  QTest::newRow("shift alone then E") << "\x01"
                                         "E\r"
                                      << "E"
                                      << "E";
  QTest::newRow("ctrl and caps lock alone") << "\x04\x05y\r"
                                            << "y"
                                            << "y";
  QTest::newRow("arrows and delete ignored") << "a\x02\x03"
                                                "b\r"
                                             << "ab"
                                             << "ab";
  QTest::newRow("escape and tab ignored") << "a\x1b\tb\r"
                                          << "ab"
                                          << "ab";
  QTest::newRow("latin-1 letter") << QString::fromUtf8("Caf\u00e9\r")
                                  << QString::fromUtf8("Caf\u00e9")
                                  << QString::fromUtf8("Caf\u00e9");
}

void TestPromptWindow::readLineAnswers() {
  QFETCH(QString, keys);
  QFETCH(QString, line);
  QFETCH(QString, field);
  Fixture f;
  TypeLater(f.area, keys);
  const std::string got = f.area->ReadLine();
  QVERIFY(!f.fired);
  QCOMPARE(QString::fromLatin1(got.data(), qsizetype(got.size())), line);
  const std::string first = toolkit::FirstField(got);
  QCOMPARE(QString::fromLatin1(first.data(), qsizetype(first.size())), field);
}

void TestPromptWindow::lineIsCutAt255Characters() {
  Fixture f(QSize(2400, 60));
  const int beeps = platform::BeepCount();
  TypeLater(f.area, QString(300, QLatin1Char('7')) + QLatin1Char('\r'));
  const std::string got = f.area->ReadLine();
  QVERIFY(!f.fired);
  QCOMPARE(got, std::string(255, '7'));
  QCOMPARE(platform::BeepCount(), beeps);  // the 256th character is ignored silently
}

void TestPromptWindow::typingPastTheRightEdgeBeepsAndKeepsTheLine() {
  Fixture f(QSize(100, 60));
  const QFontMetrics fm(f.area->NewFont("Courier New", 8).font, &f.area->Image());
  const int w = fm.horizontalAdvance(QLatin1Char('W'));
  const int fits = 100 / w;  // characters whose right side stays within the area
  const int beeps = platform::BeepCount();
  TypeLater(f.area, QString(fits + 5, QLatin1Char('W')) + QLatin1Char('\r'));
  const std::string got = f.area->ReadLine();
  QVERIFY(!f.fired);
  QCOMPARE(got, std::string(std::size_t(fits), 'W'));
  QCOMPARE(platform::BeepCount(), beeps + 5);
  QCOMPARE(f.area->Transcript(), std::string(std::size_t(fits), 'W') + "\n");
}

void TestPromptWindow::typedAheadAnswerIsTaken() {
  Fixture f;
  Type(f.area, QStringLiteral("y\rn"));  // typed before anything waits
  QCOMPARE(f.area->ReadLine(), std::string("y"));
  QCOMPARE(f.area->WaitKey(), std::string("n"));
  QVERIFY(!f.area->HasPendingKey());
}

void TestPromptWindow::readLineLeavesNoCaretOrErasedCharacterBehind() {
  Fixture f;
  f.area->Print("Name=");
  const QImage before = f.area->Image().copy();
  TypeLater(f.area, QStringLiteral("WM\b\b\r"));
  QCOMPARE(f.area->ReadLine(), std::string());
  QVERIFY(!f.fired);
  QCOMPARE(f.area->Image(), before);  // caret hidden, both characters blanked out
}

// ---- single keys ---------------------------------------------------------------------

void TestPromptWindow::waitKeyTexts_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QByteArray>("text");
  const auto vk = [](int code) { return QByteArray("\0", 1) + char(code); };
  QTest::newRow("letter") << int(Qt::Key_Q) << 0 << QByteArray("q");
  QTest::newRow("capital") << int(Qt::Key_E) << int(Qt::ShiftModifier) << QByteArray("E");
  QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << QByteArray("\x1b");
  QTest::newRow("return") << int(Qt::Key_Return) << 0 << QByteArray("\r");
  QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                << QByteArray("\r");
  QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << QByteArray("\b");
  QTest::newRow("space") << int(Qt::Key_Space) << 0 << QByteArray(" ");
  QTest::newRow("left") << int(Qt::Key_Left) << 0 << vk(37);
  QTest::newRow("up") << int(Qt::Key_Up) << 0 << vk(38);
  QTest::newRow("right") << int(Qt::Key_Right) << 0 << vk(39);
  QTest::newRow("down") << int(Qt::Key_Down) << 0 << vk(40);
  QTest::newRow("home") << int(Qt::Key_Home) << 0 << vk(36);
  QTest::newRow("end") << int(Qt::Key_End) << 0 << vk(35);
  QTest::newRow("page up") << int(Qt::Key_PageUp) << 0 << vk(33);
  QTest::newRow("page down") << int(Qt::Key_PageDown) << 0 << vk(34);
  QTest::newRow("insert") << int(Qt::Key_Insert) << 0 << vk(45);
  QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << vk(46);
  QTest::newRow("F1") << int(Qt::Key_F1) << 0 << vk(112);
  QTest::newRow("F12") << int(Qt::Key_F12) << 0 << vk(123);
}

void TestPromptWindow::waitKeyTexts() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QByteArray, text);
  Fixture f;
  QPointer<PromptWindow> area(f.area);
  QTimer::singleShot(10, [area, key, modifiers] {
    if (!area) return;
    // a modifier pressed alone first must not count as the key
    QTest::keyClick(area, Qt::Key_Shift);
    QTest::keyClick(area, Qt::Key_Control);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)  // as a keyboard sends a letter: with its text
      QTest::keyClick(area, char((mods & Qt::ShiftModifier) ? key : key - 'A' + 'a'), mods);
    else
      QTest::keyClick(area, Qt::Key(key), mods);
  });
  const std::string got = f.area->WaitKey();
  QVERIFY(!f.fired);
  QCOMPARE(QByteArray(got.data(), qsizetype(got.size())), text);
  QVERIFY(!f.area->HasPendingKey());
}

void TestPromptWindow::tabStaysInTheArea() {
  Fixture f;
  auto* other = new QWidget(f.dialog.get());
  other->setFocusPolicy(Qt::StrongFocus);
  other->setGeometry(0, 310, 20, 20);
  f.dialog->resize(400, 340);
  f.area->SetFocusArea();
  TypeLater(f.area, QStringLiteral("\t"));
  QCOMPARE(f.area->WaitKey(), std::string("\t"));
  QVERIFY(!f.fired);
}

void TestPromptWindow::closingTheWindowEndsTheWait_data() {
  QTest::addColumn<bool>("readLine");
  QTest::addColumn<bool>("byHide");
  QTest::newRow("wait key, close box") << false << false;
  QTest::newRow("read line, close box") << true << false;
  QTest::newRow("wait key, dialog ended") << false << true;
  QTest::newRow("read line, dialog ended") << true << true;
}

void TestPromptWindow::closingTheWindowEndsTheWait() {
  QFETCH(bool, readLine);
  QFETCH(bool, byHide);
  Fixture f;
  QPointer<QDialog> dlg(f.dialog.get());
  QPointer<PromptWindow> area(f.area);
  QTimer::singleShot(20, [dlg, area, byHide] {
    if (!dlg || !area) return;
    Type(area, QStringLiteral("ab"));  // a half-typed answer is dropped
    if (byHide)
      dlg->reject();
    else
      dlg->close();
  });
  const std::string got = readLine ? f.area->ReadLine() : f.area->WaitKey();
  QVERIFY(!f.fired);
  if (readLine) QCOMPARE(got, std::string());
  QVERIFY(f.area->Closed());
  // Later waits return at once, even with keys still in the slot.
  Type(f.area, QStringLiteral("z\r"));
  QCOMPARE(f.area->WaitKey(), std::string());
  QCOMPARE(f.area->ReadLine(), std::string());
  QVERIFY(!f.fired);
}

void TestPromptWindow::destroyingTheWindowDuringAWait() {
  auto dialog = new QDialog;
  QPointer<PromptWindow> area = new PromptWindow(dialog, 3084, QSize(200, 100));
  dialog->show();
  QPointer<QDialog> dlg(dialog);
  QTimer::singleShot(20, [dlg] { delete dlg.data(); });
  bool watchdog = false;
  QTimer::singleShot(15000, [&watchdog, dlg] {
    watchdog = true;
    delete dlg.data();
  });
  const std::string got = area->ReadLine();
  QVERIFY(!watchdog);
  QCOMPARE(got, std::string());
  QVERIFY(area.isNull());
}

// A dialog that asks before it closes and this time says no.
class StubbornDialog : public QDialog {
 public:
  int refused = 0;

 protected:
  void closeEvent(QCloseEvent* e) override {
    ++refused;
    e->ignore();
  }
};

void TestPromptWindow::refusedCloseKeepsTheConversation() {
  StubbornDialog dialog;
  auto* area = new PromptWindow(&dialog, 3084, QSize(200, 100));
  dialog.show();
  bool watchdog = false;
  QTimer::singleShot(15000, [&] {
    watchdog = true;
    dialog.hide();
  });
  QTimer::singleShot(20, [&] {
    dialog.close();  // refused
    Type(area, QStringLiteral("Q"));
  });
  QCOMPARE(area->WaitKey(), std::string("Q"));
  QVERIFY(!watchdog);
  QCOMPARE(dialog.refused, 1);
  QVERIFY(!area->Closed());
}

void TestPromptWindow::showingAgainOpensTheArea() {
  Fixture f;
  Type(f.area, QStringLiteral("x"));
  f.dialog->hide();
  QVERIFY(f.area->Closed());
  QVERIFY(!f.area->HasPendingKey());  // typed into the old window: dropped
  f.dialog->show();
  QVERIFY(!f.area->Closed());
  TypeLater(f.area, QStringLiteral("N\r"));
  QCOMPARE(f.area->ReadLine(), std::string("N"));
  QVERIFY(!f.fired);
}

// ---- text ----------------------------------------------------------------------------

void TestPromptWindow::transcriptKeepsTheConversation() {
  Fixture f;
  f.area->NewLine();
  f.area->Print("Printer in Use (Y/N) ");
  TypeLater(f.area, QStringLiteral("yx\b\r"));
  QCOMPARE(f.area->ReadLine(), std::string("y"));
  f.area->Print("DAT File (Y/N) ");
  QCOMPARE(f.area->Transcript(), std::string("\nPrinter in Use (Y/N) y\nDAT File (Y/N) "));
  f.area->Clear();
  QCOMPARE(f.area->Transcript(), std::string());
}

void TestPromptWindow::textLandsAtTheTextPosition() {
  Fixture f;
  const toolkit::PromptFont font = f.area->NewFont("Arial", 20);
  f.area->SetFont(font);
  const QFontMetrics fm(font.font, &f.area->Image());
  f.area->SetTextPositionPixels(QPoint(40, 30));
  f.area->Print("HH");
  const int adv = fm.horizontalAdvance(QStringLiteral("HH"));
  QCOMPARE(f.area->TextPosition(), QPoint(40 + adv, 30));
  const QImage& img = f.area->Image();
  // ink inside the text's box, none above or left of the position
  QVERIFY(CountColour(img, 0xffffff, QRect(40, 30, adv, fm.height())) > 20);
  QCOMPARE(Ink(img, QRect(0, 0, 400, 30)), 0);
  QCOMPARE(Ink(img, QRect(0, 0, 40, 300)), 0);
  QCOMPARE(Ink(img, QRect(40 + adv + 2, 0, 400, 300)), 0);
  f.area->NewLine();
  QCOMPARE(f.area->TextPosition(), QPoint(0, 30 + fm.height() + fm.leading()));
  // opaque background: a grey background paints the whole text cell
  f.area->SetColours(kWhite, Rgb(128, 128, 128));
  f.area->Print(" ");
  QCOMPARE(
      CountColour(img, qRgb(128, 128, 128),
                  QRect(0, f.area->TextPosition().y(), fm.horizontalAdvance(' '), fm.height())),
      fm.horizontalAdvance(' ') * fm.height());
  // transparent background leaves what was there
  f.area->Clear(Rgb(0, 0, 255));
  f.area->SetColours(kWhite, toolkit::kTransparent);
  f.area->Print("  ");
  QCOMPARE(CountColour(img, qRgb(0, 0, 255), img.rect()), img.width() * img.height());
}

void TestPromptWindow::rotatedTextReadsUpward() {
  Fixture f(QSize(200, 200));
  f.area->SetFont(f.area->NewFont("Arial", 14, 1, 0, 0, 900));
  f.area->SetTextPositionPixels(QPoint(50, 150));
  f.area->Print("HHHH");
  const QImage& img = f.area->Image();
  const int ink = Ink(img, img.rect());
  QVERIFY(ink > 20);
  // all of it above the position and right of it, in a column one line wide
  QCOMPARE(Ink(img, QRect(50, 0, 40, 151)), ink);
}

void TestPromptWindow::fontsResolveToMetricCompatibleFaces_data() {
  QTest::addColumn<QString>("face");
  QTest::addColumn<QString>("family");
  QTest::newRow("Arial") << "Arial"
                         << "Liberation Sans";
  QTest::newRow("Times New Roman") << "Times New Roman"
                                   << "Liberation Serif";
  QTest::newRow("Courier New") << "Courier New"
                               << "Liberation Mono";
}

void TestPromptWindow::fontsResolveToMetricCompatibleFaces() {
  QFETCH(QString, face);
  QFETCH(QString, family);
  Fixture f;
  const toolkit::PromptFont font = f.area->NewFont(face.toStdString(), 0, 1 | 2 | 4 | 8);
  const QFontInfo info(font.font);
  if (info.family() != family) QSKIP("fonts-liberation is not installed");
  QCOMPARE(font.font.pointSizeF(), 8.0);  // 0 points means 8
  QVERIFY(font.font.bold() && font.font.italic() && font.font.underline() && font.font.strikeOut());
}

// ---- world window and drawing --------------------------------------------------------

void TestPromptWindow::worldToPixel_data() {
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QRectF>("world");  // x1, y1 as topLeft; x2, y2 stored in width/height
  QTest::addColumn<QPointF>("point");
  QTest::addColumn<QPoint>("pixel");
  const auto W = [](double x1, double y1, double x2, double y2) { return QRectF(x1, y1, x2, y2); };
  QTest::newRow("no world: pixels")
      << QSize(0, 0) << QRectF() << QPointF(12.5, 7.5) << QPoint(12, 8);
  QTest::newRow("corner x2,y2 is the far edge")
      << QSize(1050, 700) << W(0, 100, 100, 0) << QPointF(100, 0) << QPoint(1050, 700);
  QTest::newRow("top-left") << QSize(1050, 700) << W(0, 100, 100, 0) << QPointF(0, 100)
                            << QPoint(0, 0);
  QTest::newRow("centre") << QSize(1050, 700) << W(0, 100, 100, 0) << QPointF(50, 50)
                          << QPoint(525, 350);
  QTest::newRow("half to even, down")
      << QSize(10, 10) << W(0, 0, 4, 4) << QPointF(1, 1) << QPoint(2, 2);
  QTest::newRow("half to even, up")
      << QSize(10, 10) << W(0, 0, 4, 4) << QPointF(3, 3) << QPoint(8, 8);
  // heights growing upward: y = h - round((y - ybottom) * h / range)
  QTest::newRow("upward axis, odd height tie")
      << QSize(5, 5) << W(0, 2, 2, 0) << QPointF(1, 1) << QPoint(2, 3);
  QTest::newRow("plan window") << QSize(1050, 700) << W(830000, 830700, 830700, 830000)
                               << QPointF(830350, 830100) << QPoint(525, 600);
  QTest::newRow("outside") << QSize(100, 100) << W(0, 0, 10, 10) << QPointF(-5, 20)
                           << QPoint(-50, 200);
}

void TestPromptWindow::worldToPixel() {
  QFETCH(QSize, size);
  QFETCH(QRectF, world);
  QFETCH(QPointF, point);
  QFETCH(QPoint, pixel);
  Fixture f(size.isEmpty() ? QSize(100, 100) : size);
  if (!world.isNull()) f.area->SetWorld(world.x(), world.y(), world.width(), world.height());
  QCOMPARE(f.area->ToPixel(point.x(), point.y()), pixel);
  f.area->SetPixel(point.x(), point.y(), Rgb(255, 0, 0));
  QCOMPARE(f.area->TextPosition(), pixel);
  if (f.area->Image().rect().contains(pixel)) {
    QCOMPARE(f.area->Image().pixel(pixel) & 0xffffff, 0xff0000u);
    QCOMPARE(CountColour(f.area->Image(), qRgb(255, 0, 0), f.area->Image().rect()), 1);
  }
}

void TestPromptWindow::worldWindowIgnoresEmptyOrBadRanges_data() {
  QTest::addColumn<double>("x1");
  QTest::addColumn<double>("y1");
  QTest::addColumn<double>("x2");
  QTest::addColumn<double>("y2");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  QTest::newRow("x1 == x2") << 5.0 << 0.0 << 5.0 << 10.0;
  QTest::newRow("y1 == y2") << 0.0 << 3.0 << 10.0 << 3.0;
  QTest::newRow("nan") << nan << 0.0 << 10.0 << 10.0;
  QTest::newRow("infinite") << 0.0 << -inf << 10.0 << 10.0;
  QTest::newRow("range overflows") << -1.7e308 << 0.0 << 1.7e308 << 10.0;
}

void TestPromptWindow::worldWindowIgnoresEmptyOrBadRanges() {
  QFETCH(double, x1);
  QFETCH(double, y1);
  QFETCH(double, x2);
  QFETCH(double, y2);
  Fixture f(QSize(200, 100));
  f.area->SetWorld(0, 0, 100, 100);  // the window in force
  f.area->SetWorld(x1, y1, x2, y2);
  QCOMPARE(f.area->ToPixel(50, 50), QPoint(100, 50));
}

void TestPromptWindow::textFlowsInPixelsUnderAWorldWindow() {
  Fixture f;
  f.area->SetWorld(830000, 830300, 830400, 830000);
  const QFontMetrics fm(f.area->NewFont("Courier New", 8).font, &f.area->Image());
  f.area->Print("Scale");
  f.area->NewLine();
  QCOMPARE(f.area->TextPosition(), QPoint(0, fm.height() + fm.leading()));
  f.area->Print("ab");
  QCOMPARE(f.area->TextPosition(),
           QPoint(fm.horizontalAdvance(QStringLiteral("ab")), fm.height() + fm.leading()));
  QCOMPARE(f.area->Transcript(), std::string("Scale\nab"));
}

void TestPromptWindow::badWorldPointsAreSkipped() {
  Fixture f(QSize(100, 100));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  f.area->SetWorld(0, 0, 100, 100);
  f.area->SetPosition(10, 10);
  f.area->LineTo(nan, 50);
  f.area->LineTo(20, inf);
  f.area->SetPixel(-inf, 3);
  f.area->SetPosition(nan, nan);
  QCOMPARE(f.area->TextPosition(), QPoint(10, 10));  // none of them moved the position
  QCOMPARE(CountColour(f.area->Image(), 0xffffff, f.area->Image().rect()), 0);
  f.area->SetWorld(0, 0, 1e-300, 1e-300);  // tiny window: points map far away
  f.area->LineTo(1.0, 1.0);
  f.area->SetPixel(1e300, -1e300);
  f.area->SetWorld(0, 0, 100, 100);
  f.area->SetPosition(0, 50);
  f.area->LineTo(99, 50);
  QVERIFY(CountColour(f.area->Image(), 0xffffff, QRect(0, 50, 100, 1)) >= 99);
}

void TestPromptWindow::lineToFarPointsDrawsTheVisiblePart() {
  Fixture f(QSize(100, 100));
  f.area->SetPosition(-1e9, -1e9);
  f.area->LineTo(1e9, 1e9);  // the diagonal through the whole area
  const QImage& img = f.area->Image();
  for (int i = 5; i < 95; i += 10) QCOMPARE(img.pixel(i, i) & 0xffffff, 0xffffffu);
  QCOMPARE(CountColour(img, 0xffffff, QRect(60, 0, 40, 30)), 0);
  f.area->SetPosition(1e15, 1e15);
  f.area->LineTo(1e15 + 1, -1e15);  // entirely outside: nothing drawn, nothing hangs
  QCOMPARE(CountColour(img, 0xffffff, QRect(60, 0, 40, 30)), 0);
}

void TestPromptWindow::penStyles_data() {
  QTest::addColumn<int>("style");
  QTest::addColumn<bool>("gaps");
  QTest::newRow("solid") << 0 << false;
  QTest::newRow("dashed") << 1 << true;
  QTest::newRow("dotted") << 2 << true;
  QTest::newRow("dash-dot") << 3 << true;
  QTest::newRow("dash-dot-dot") << 4 << true;
  QTest::newRow("unknown is solid") << 9 << false;
  QTest::newRow("negative is solid") << -1 << false;
}

void TestPromptWindow::penStyles() {
  QFETCH(int, style);
  QFETCH(bool, gaps);
  Fixture f(QSize(200, 50));
  f.area->SetPen(style);
  f.area->SetPosition(0, 20);
  f.area->LineTo(199, 20, Rgb(0, 255, 0));
  const int lit = CountColour(f.area->Image(), qRgb(0, 255, 0), QRect(0, 20, 199, 1));
  QVERIFY(lit > 40);
  QCOMPARE(lit < 199, gaps);
  QCOMPARE(f.area->TextPosition(), QPoint(199, 20));
  // a wide pen paints several rows
  f.area->SetPen(0, 5);
  f.area->SetPosition(0, 40);
  f.area->LineTo(100, 40, Rgb(0, 0, 255));
  QVERIFY(CountColour(f.area->Image(), qRgb(0, 0, 255), QRect(50, 36, 1, 9)) >= 5);
}

void TestPromptWindow::clearAndColours() {
  Fixture f(QSize(40, 30));
  f.area->SetTextPositionPixels(QPoint(7, 9));
  f.area->Print("x");
  f.area->Clear(Rgb(10, 20, 30));
  QCOMPARE(f.area->TextPosition(), QPoint(0, 0));
  const QImage& img = f.area->Image();
  QCOMPARE(CountColour(img, qRgb(10, 20, 30), img.rect()), 40 * 30);
  // the default colour of Clear is the background now set; -1 the system face colour
  f.area->SetColours(toolkit::kSystemColour, Rgb(1, 2, 3));
  f.area->Clear();
  QCOMPARE(CountColour(img, qRgb(1, 2, 3), img.rect()), 40 * 30);
  f.area->SetColours(kWhite, toolkit::kSystemColour);
  f.area->Clear();
  QCOMPARE(CountColour(img, platform::SystemButtonFace().rgb(), img.rect()), 40 * 30);
  // set_pixel's default colour is the foreground
  f.area->SetColours(Rgb(200, 100, 50), kBlack);
  f.area->SetPixel(3, 4);
  QCOMPARE(img.pixel(3, 4) & 0xffffff, qRgb(200, 100, 50) & 0xffffffu);
  // the screen shows the bitmap
  const QImage shown = f.area->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(shown.pixel(3, 4) & 0xffffff, qRgb(200, 100, 50) & 0xffffffu);
  QCOMPARE(shown.pixel(30, 20) & 0xffffff, platform::SystemButtonFace().rgb() & 0xffffffu);
}

void TestPromptWindow::savedImageRoundTrips() {
  Fixture f(QSize(13, 7));  // 39 bytes a row, padded to 40
  f.area->Clear(Rgb(0, 0, 128));
  f.area->SetPixel(0, 0, Rgb(255, 0, 0));
  f.area->SetPixel(12, 6, Rgb(0, 255, 0));
  f.area->SetPixel(5, 3, Rgb(1, 2, 3));
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("Plan 1.bmp"));
  {
    QFile big(name);  // an older, longer file of that name is cut to the new length
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(5000, 'x'));
  }
  QVERIFY(f.area->SaveImage(name.toStdString()));
  QCOMPARE(QFileInfo(name).size(), qint64(54 + 7 * 40));
  QImage back(name);
  QVERIFY(!back.isNull());
  QCOMPARE(back.size(), QSize(13, 7));
  back = back.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x)
      QCOMPARE(back.pixel(x, y) & 0xffffff, f.area->Image().pixel(x, y) & 0xffffff);
  QVERIFY(!f.area->SaveImage(dir.filePath(QStringLiteral("no/such/folder/x.bmp")).toStdString()));
}

void TestPromptWindow::caretBlinksWhileReading() {
  Fixture f;
  f.area->Print("Scale=");
  const QPoint at = f.area->TextPosition();
  const QFontMetrics fm(f.area->NewFont("Courier New", 8).font, &f.area->Image());
  const QRect caret(at, QSize(fm.horizontalAdvance(QLatin1Char('|')), fm.height()));
  QPointer<PromptWindow> area(f.area);
  int shownFirst = -1;
  bool hid = false, cameBack = false, focus = false;
  QTimer::singleShot(10, [&, area] {
    if (!area) return;
    focus = area->hasFocus();
    shownFirst = Ink(area->Image(), caret);
    if (focus) {
      hid = QTest::qWaitFor([&] { return area && Ink(area->Image(), caret) == 0; }, 5000);
      cameBack = QTest::qWaitFor([&] { return area && Ink(area->Image(), caret) > 0; }, 5000);
    }
    if (area) Type(area, QStringLiteral("\r"));
  });
  QCOMPARE(f.area->ReadLine(), std::string());
  QVERIFY(!f.fired);
  QVERIFY(shownFirst > 0);                   // the caret stands after the prompt at once
  QCOMPARE(Ink(f.area->Image(), caret), 0);  // and is gone after Enter
  if (!focus) QSKIP("the area did not get the focus on this platform");
  QVERIFY(hid);
  QVERIFY(cameBack);
}

void TestPromptWindow::extremeDrawingInputsNeverCrash_data() {
  QTest::addColumn<int>("seed");
  for (int i = 1; i <= 24; ++i) QTest::newRow(qPrintable(QString::number(i))) << i;
}

// Regression: lines from points 1e300 pixels away once overflowed the repaint rectangle.
void TestPromptWindow::extremeDrawingInputsNeverCrash() {
  QFETCH(int, seed);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0,     1,      -1,      0.5,      1e-310, -1e-300, 1e15, -1e15,
                           1e300, -1e300, 1.7e308, -1.7e308, nan,    inf,     -inf, 525};
  const int n = int(sizeof values / sizeof values[0]);
  Fixture f(QSize(120, 80));
  quint32 r = quint32(seed) * 2654435761u;
  const auto next = [&] {
    r = r * 1664525u + 1013904223u;
    return values[(r >> 16) % n];
  };
  for (int step = 0; step < 400; ++step) {
    r = r * 1664525u + 1013904223u;
    switch ((r >> 24) % 7) {
      case 0:
        f.area->SetWorld(next(), next(), next(), next());
        break;
      case 1:
        f.area->SetPosition(next(), next());
        break;
      case 2:
        f.area->SetPixel(next(), next());
        break;
      case 3:
        f.area->LineTo(next(), next());
        break;
      case 4:
        f.area->SetPen(int(r % 9) - 2, int(r % 7));
        break;
      case 5:
        f.area->Print("12.50");
        break;
      case 6:
        f.area->SetFont(f.area->NewFont("Arial", next(), 0, 0, 0, int(r % 3600)));
        break;
    }
    const QPoint p = f.area->TextPosition();
    QVERIFY(std::abs(p.x()) <= 10000000 && std::abs(p.y()) <= 10000000);
  }
  QCOMPARE(f.area->Image().size(), QSize(120, 80));
}

QTEST_MAIN(TestPromptWindow)
#include "tst_prompt_window.moc"
