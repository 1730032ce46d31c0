// The first field of a typed answer: what every prompt answer is reduced to.
#include <QtTest>

#include "toolkit/first_field.h"

class TestFirstField : public QObject {
  Q_OBJECT
 private slots:
  void firstField_data();
  void firstField();
};

void TestFirstField::firstField_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QByteArray>("field");
  QTest::newRow("up to the comma") << QByteArray("a, b") << QByteArray("a");
  QTest::newRow("leading blanks") << QByteArray("   Y") << QByteArray("Y");
  QTest::newRow("trailing blanks") << QByteArray("Y   ") << QByteArray("Y");
  QTest::newRow("blanks inside kept") << QByteArray("  my site  , 2") << QByteArray("my site");
  QTest::newRow("quoted keeps commas") << QByteArray("\"a, b\"") << QByteArray("a, b");
  QTest::newRow("quoted keeps blanks") << QByteArray("  \" x \" rest") << QByteArray(" x ");
  QTest::newRow("quote never closed") << QByteArray("\"open, end") << QByteArray("open, end");
  QTest::newRow("empty quotes") << QByteArray("\"\"") << QByteArray("");
  QTest::newRow("empty") << QByteArray("") << QByteArray("");
  QTest::newRow("blanks only") << QByteArray("     ") << QByteArray("");
  QTest::newRow("comma first") << QByteArray(",x") << QByteArray("");
  QTest::newRow("word is not a letter") << QByteArray("yes") << QByteArray("yes");
  QTest::newRow("quote after text is text") << QByteArray("ab\"c\", d") << QByteArray("ab\"c\"");
  QTest::newRow("tab counts as blank") << QByteArray("\t N \t") << QByteArray("N");
  QTest::newRow("long name") << QByteArray(300, 'x') << QByteArray(300, 'x');
}

void TestFirstField::firstField() {
  QFETCH(QByteArray, line);
  QFETCH(QByteArray, field);
  const std::string got = toolkit::FirstField(std::string_view(line.constData(), line.size()));
  QCOMPARE(QByteArray::fromStdString(got), field);
}

QTEST_APPLESS_MAIN(TestFirstField)
#include "tst_first_field.moc"
