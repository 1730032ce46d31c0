// The 24-bit bitmap writer: a known picture byte for byte, header values for several
// sizes, overwriting a longer file, and failures that must not report success.
#include <QtTest>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/bitmap_file.h"
#include "survey_writer.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const std::string& b, int at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::uint16_t Le16(const std::string& b, int at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    (static_cast<unsigned char>(b[at + 1]) << 8));
}

}  // namespace

class TestBitmapFile : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void knownPicture();
  void headerForSizes_data();
  void headerForSizes();
  void strideSkipsPadding();
  void overwriteCutsLongerFile();
  void failures_data();
  void failures();
  void readableByOtherPrograms();

 private:
  std::string dir_;
};

void TestBitmapFile::initTestCase() {
  dir_ = testsupport::MakeTempDir("tst_bitmap_file");
  QVERIFY(!dir_.empty());
}

void TestBitmapFile::cleanupTestCase() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void TestBitmapFile::knownPicture() {
  // 3 x 2, top row red green blue, bottom row white black grey.
  const std::uint32_t pixels[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456};
  const std::string path = dir_ + "/Plan1.bmp";
  QVERIFY(platform::SaveBitmap24(path, 3, 2, pixels, 3));
  const unsigned char expect[] = {
      'B',  'M',  78,   0, 0,    0, 0,    0,    0,    0, 54, 0, 0, 0,  // file header
      40,   0,    0,    0, 3,    0, 0,    0,    2,    0, 0,  0, 1, 0,
      24,   0,  // size, w, h, planes, bits
      0,    0,    0,    0, 0,    0, 0,    0,    0,    0, 0,  0, 0, 0,
      0,    0,                                // compression, image size, resolutions
      0,    0,    0,    0, 0,    0, 0,    0,  // colours used, important
      0xFF, 0xFF, 0xFF, 0, 0,    0, 0x56, 0x34, 0x12, 0, 0,  0,   // bottom row first, BGR, padded
      0,    0,    0xFF, 0, 0xFF, 0, 0xFF, 0,    0,    0, 0,  0};  // top row
  const std::string got = ReadAll(path);
  QCOMPARE(got, std::string(reinterpret_cast<const char*>(expect), sizeof expect));
}

void TestBitmapFile::headerForSizes_data() {
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("fileSize");
  QTest::newRow("1x1 padded to 4") << 1 << 1 << 58;
  QTest::newRow("4 wide no padding") << 4 << 3 << 54 + 3 * 12;
  QTest::newRow("5 wide padded") << 5 << 2 << 54 + 2 * 16;
  QTest::newRow("plan plot area") << 1050 << 700 << 2206454;
}

void TestBitmapFile::headerForSizes() {
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(int, fileSize);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0x808080);
  const std::string path = dir_ + "/size.bmp";
  QVERIFY(platform::SaveBitmap24(path, width, height, pixels.data(), width));
  const std::string b = ReadAll(path);
  QCOMPARE(static_cast<int>(b.size()), fileSize);
  QCOMPARE(Le32(b, 2), std::uint32_t(fileSize));
  QCOMPARE(Le32(b, 10), 54u);
  QCOMPARE(Le32(b, 14), 40u);
  QCOMPARE(Le32(b, 18), std::uint32_t(width));
  QCOMPARE(Le32(b, 22), std::uint32_t(height));
  QCOMPARE(Le16(b, 26), std::uint16_t(1));
  QCOMPARE(Le16(b, 28), std::uint16_t(24));
  for (int at = 30; at < 54; at += 4) QCOMPARE(Le32(b, at), 0u);
  // Padding bytes at the end of every row are zero.
  const int row = (width * 3 + 3) / 4 * 4;
  for (int y = 0; y < height; ++y)
    for (int x = width * 3; x < row; ++x) QCOMPARE(static_cast<int>(b[54 + y * row + x]), 0);
}

void TestBitmapFile::strideSkipsPadding() {
  // A picture held in a wider buffer: only the first width pixels of each row are written.
  const std::uint32_t pixels[] = {0x010203, 0xDEAD00, 0x040506, 0xDEAD00};
  const std::string path = dir_ + "/stride.bmp";
  QVERIFY(platform::SaveBitmap24(path, 1, 2, pixels, 2));
  const std::string b = ReadAll(path);
  QCOMPARE(b.size(), std::size_t(54 + 2 * 4));
  QCOMPARE(b.substr(54), std::string("\x06\x05\x04\0\x03\x02\x01\0", 8));
}

void TestBitmapFile::overwriteCutsLongerFile() {
  const std::string path = dir_ + "/CH100.BMP";
  QVERIFY(testsupport::WriteBytes(path, std::string(100000, 'x')));
  const std::uint32_t pixel = 0xFFFFFF;
  QVERIFY(platform::SaveBitmap24(path, 1, 1, &pixel, 1));
  const std::string b = ReadAll(path);
  QCOMPARE(b.size(), std::size_t(58));
  QCOMPARE(b.substr(54), std::string("\xFF\xFF\xFF\0", 4));
}

void TestBitmapFile::failures_data() {
  QTest::addColumn<QString>("name");  // relative to the test folder
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("stride");
  QTest::newRow("folder missing") << "no-such-folder/x.bmp" << 2 << 2 << 2;
  QTest::newRow("name is a folder") << "" << 2 << 2 << 2;
  QTest::newRow("zero width") << "keep.bmp" << 0 << 2 << 2;
  QTest::newRow("negative height") << "keep.bmp" << 2 << -1 << 2;
  QTest::newRow("stride too small") << "keep.bmp" << 2 << 2 << 1;
  QTest::newRow("too large for the format") << "keep.bmp" << 60000 << 30000 << 60000;
}

void TestBitmapFile::failures() {
  QFETCH(QString, name);
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(int, stride);
  const std::string keep = dir_ + "/keep.bmp";
  QVERIFY(testsupport::WriteBytes(keep, "old picture"));
  const std::uint32_t pixels[4] = {1, 2, 3, 4};
  const std::string path = dir_ + "/" + name.toStdString();
  QVERIFY(!platform::SaveBitmap24(path, width, height, pixels, stride));
  // A refused picture leaves an existing file as it was.
  QCOMPARE(ReadAll(keep), std::string("old picture"));
}

void TestBitmapFile::readableByOtherPrograms() {
  // Qt's own reader sees the same colours in the same places.
  std::vector<std::uint32_t> pixels(7 * 5);
  for (int i = 0; i < 35; ++i) pixels[i] = static_cast<std::uint32_t>(i * 0x070503);
  const std::string path = dir_ + "/check.bmp";
  QVERIFY(platform::SaveBitmap24(path, 7, 5, pixels.data(), 7));
  QImage image(QString::fromStdString(path), "BMP");
  QCOMPARE(image.size(), QSize(7, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      QCOMPARE(image.pixel(x, y) & 0xFFFFFFu, pixels[y * 7 + x] & 0xFFFFFFu);
}

QTEST_APPLESS_MAIN(TestBitmapFile)
#include "tst_bitmap_file.moc"
