#include "form_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "converter/converter_form.h"

namespace formdriver {

bool ShowAndActivate(ConverterForm& form) {
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowExposed(&form)) return false;
  return QTest::qWaitForWindowActive(&form);
}

void ClickBox(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

void Press(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void TypeInto(QLineEdit* box, const QString& text) {
  QTest::mouseClick(box, Qt::LeftButton);
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Delete);
  QTest::keyClicks(box, text);
}

QStringList ResultLabels(const ConverterForm& form) {
  QStringList texts;
  for (int i = 5; i <= 14; ++i) texts << form.Label[i]->text();
  return texts;
}

}  // namespace formdriver
