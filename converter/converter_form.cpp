#include "converter/converter_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>

#include "platform/platform.h"

using norvane::Fault;

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

namespace {

std::string Std(const QString& s) { return s.toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

bool AnyTicked(const ConverterForm& f) {
  for (int i = 1; i <= 6; ++i)
    if (f.Check[i]->isChecked()) return true;
  return false;
}

bool InputPresent(const ConverterForm& f) {
  return norvane::InputPresent(Std(f.Text[1]->text()), Std(f.Text[2]->text()),
                               Std(f.Text[3]->text()), Std(f.Text[4]->text()));
}

int SelectedOption(const ConverterForm& f) {
  for (int i = 1; i <= 6; ++i)
    if (f.Option[i]->isChecked()) return i;
  return 1;
}

void SetColour(QWidget* w, const QColor& colour) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::WindowText, colour);
  w->setPalette(pal);
}

// What a failed calculation must leave as it was.
struct Snapshot {
  norvane::Conversion conversion;
  int16_t resultIndex;
  QString labels[16];
};

Snapshot Take(const ConverterForm& f) {
  Snapshot s{f.state.conversion, f.state.resultIndex, {}};
  for (int i = 5; i <= 14; ++i) s.labels[i] = f.Label[i]->text();
  return s;
}

void Restore(ConverterForm& f, const Snapshot& s) {
  f.state.conversion = s.conversion;
  f.state.resultIndex = s.resultIndex;
  f.state.shown = false;
  for (int i = 5; i <= 14; ++i) f.Label[i]->setText(s.labels[i]);
}

void ReportFault(ConverterForm& f, Fault fault) {
  platform::ShowMessage(&f, norvane::kFaultTitle, Q(norvane::FaultMessage(fault)));
}

// The result name without its zone, for a result that cannot be given.
QString BareName(int index) {
  return QString::fromLatin1(norvane::ResultSystemFor(index).shownName)
      .section(QLatin1String("  "), 0, 0)
      .trimmed();
}

}  // namespace

ConverterForm::ConverterForm(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Conversion of coordinates between WGS 84, HK80 & ....");
  setFixedSize(TwipsRect(0, 0, 6555, 4815).size());
  // "MS Sans Serif" is not on every system; where it is missing the dialog font's stand-in
  // of the same widths is used, so that the captions fit their twip widths.
  QFont font = platform::DialogFont(8.25);
  font.setBold(true);
  setFont(font);

  auto frame = [&](int n, const char* caption, QRect r) {
    Frame[n] = new QGroupBox(caption, this);
    Frame[n]->setObjectName(QString("Frame%1").arg(n));
    Frame[n]->setGeometry(r);
    return Frame[n];
  };
  auto option = [&](int n, const char* caption, QRect r) {
    Option[n] = new QRadioButton(caption, Frame[1]);
    Option[n]->setObjectName(QString("Option%1").arg(n));
    Option[n]->setGeometry(r);
  };
  auto label = [&](int n, QWidget* parent, const char* caption, QRect r) {
    Label[n] = new QLabel(caption, parent);
    Label[n]->setObjectName(QString("Label%1").arg(n));
    Label[n]->setTextFormat(Qt::PlainText);  // typed text is echoed, never read as markup
    Label[n]->setGeometry(r);
  };
  auto text = [&](int n, QRect r) {
    Text[n] = new QLineEdit(Frame[1]);
    Text[n]->setObjectName(QString("Text%1").arg(n));
    Text[n]->setGeometry(r);
    Text[n]->installEventFilter(this);
  };
  auto check = [&](int n, const char* caption, QRect r) {
    Check[n] = new QCheckBox(caption, Frame[2]);
    Check[n]->setObjectName(QString("Check%1").arg(n));
    Check[n]->setGeometry(r);
  };
  auto command = [&](int n, QWidget* parent, const char* caption, QRect r) {
    Command[n] = new QPushButton(caption, parent);
    Command[n]->setObjectName(QString("Command%1").arg(n));
    Command[n]->setGeometry(r);
    Command[n]->setAutoDefault(false);
  };

  frame(1, "Input ", TwipsRect(120, 120, 3135, 3135));
  option(1, "80 Grid", TwipsRect(240, 240, 1095, 195));
  option(2, "84 Grid", TwipsRect(240, 480, 1095, 195));
  option(3, "UTM 80", TwipsRect(1800, 240, 1215, 195));
  option(4, "UTM 84", TwipsRect(1800, 480, 1215, 195));
  label(1, Frame[1], "Northing :", TwipsRect(240, 840, 855, 255));
  text(1, TwipsRect(1200, 840, 1575, 285));
  label(2, Frame[1], "Easting : ", TwipsRect(240, 1200, 855, 255));
  text(2, TwipsRect(1200, 1200, 1575, 285));
  option(5, "80 Geodetic Datumn", TwipsRect(240, 1680, 2535, 195));
  option(6, "norvane", TwipsRect(240, 1920, 2655, 195));
  label(3, Frame[1], "Lat :", TwipsRect(240, 2280, 855, 255));
  text(3, TwipsRect(1200, 2280, 1575, 285));
  label(4, Frame[1], "Lon :", TwipsRect(240, 2640, 735, 255));
  text(4, TwipsRect(1200, 2640, 1575, 285));

  frame(2, "Calculate ", TwipsRect(3360, 120, 3015, 1815));
  check(1, "80 Grid", TwipsRect(120, 360, 975, 195));
  check(2, "84 Grid", TwipsRect(120, 600, 975, 255));
  check(3, "UTM 80", TwipsRect(1680, 360, 1215, 255));
  check(4, "UTM 84", TwipsRect(1680, 600, 1215, 255));
  check(5, "80 Geodetic Datumn", TwipsRect(120, 840, 2775, 255));
  check(6, "norvane", TwipsRect(120, 1080, 2775, 255));
  command(1, Frame[2], "&Calculate", TwipsRect(360, 1440, 2415, 255));

  command(2, this, "&Next Result", TwipsRect(3480, 2040, 2895, 375));
  command(3, this, "&Print Result", TwipsRect(3480, 2520, 2895, 375));
  command(4, this, "&Quit", TwipsRect(3480, 3000, 1695, 375));
  command(5, this, "&About", TwipsRect(5400, 3000, 975, 375));

  QGroupBox* result = frame(3, "Result :", TwipsRect(120, 3360, 6255, 1335));
  label(5, result, "", TwipsRect(120, 240, 2775, 255));
  label(7, result, "", TwipsRect(120, 600, 615, 255));
  label(8, result, "", TwipsRect(120, 960, 615, 255));
  label(9, result, "", TwipsRect(720, 600, 2055, 255));
  label(10, result, "", TwipsRect(720, 960, 2055, 255));
  label(15, result, ">>>", TwipsRect(2880, 600, 375, 255));
  label(6, result, "", TwipsRect(3360, 240, 2775, 255));
  label(11, result, "", TwipsRect(3360, 600, 615, 255));
  label(12, result, "", TwipsRect(3360, 960, 615, 255));
  label(13, result, "", TwipsRect(3960, 600, 2175, 255));
  label(14, result, "", TwipsRect(3960, 960, 2175, 255));

  // White result frame with a red caption; its labels in window text, the input echo in
  // blue and the results in red.
  QPalette framePal = result->palette();
  framePal.setColor(QPalette::Window, Qt::white);
  framePal.setColor(QPalette::WindowText, Qt::red);
  result->setPalette(framePal);
  result->setAutoFillBackground(true);
  for (int n : {5, 6, 7, 8, 11, 12, 15}) SetColour(Label[n], platform::SystemWindowText());
  SetColour(Label[9], Qt::blue);
  SetColour(Label[10], Qt::blue);
  SetColour(Label[13], Qt::red);
  SetColour(Label[14], Qt::red);

  // Tab order of the form.
  QList<QWidget*> order{Option[1],  Option[2],  Option[3], Option[4], Text[1],    Text[2],
                        Option[5],  Option[6],  Text[3],   Text[4],   Check[1],   Check[2],
                        Check[3],   Check[4],   Check[5],  Check[6],  Command[1], Command[2],
                        Command[3], Command[4], Command[5]};
  for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

  void (*optionClick[7])(ConverterForm&) = {nullptr,       Option1_Click, Option2_Click,
                                            Option3_Click, Option4_Click, Option5_Click,
                                            Option6_Click};
  for (int i = 1; i <= 6; ++i) {
    auto handler = optionClick[i];
    connect(Option[i], &QRadioButton::clicked, this, [this, handler] { handler(*this); });
  }
  void (*commandClick[6])(ConverterForm&) = {nullptr,        Command1_Click, Command2_Click,
                                             Command3_Click, Command4_Click, Command5_Click};
  for (int i = 1; i <= 5; ++i) {
    auto handler = commandClick[i];
    connect(Command[i], &QPushButton::clicked, this, [this, handler] { handler(*this); });
  }

  // The classic flat frames and buttons the form was laid out with.
  if (QStyle* classic = QStyleFactory::create("Windows")) {
    classic->setParent(this);
    setStyle(classic);
    for (QWidget* w : findChildren<QWidget*>()) w->setStyle(classic);
  }

  Form_Load(*this);
}

ConverterForm::~ConverterForm() = default;

void ConverterForm::closeEvent(QCloseEvent* event) {
  // The program ends with its only form: the print document of this run goes out now.
  state.printer.Release();
  event->accept();
}

bool ConverterForm::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 1; i <= 4; ++i) {
    if (watched != Text[i]) continue;
    if (event->type() == QEvent::FocusIn) {
      void (*gotFocus[5])(ConverterForm&) = {nullptr, Text1_GotFocus, Text2_GotFocus,
                                             Text3_GotFocus, Text4_GotFocus};
      gotFocus[i](*this);
      Text[i]->setProperty("selectOnRelease",
                           static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason);
    } else if (event->type() == QEvent::MouseButtonRelease &&
               Text[i]->property("selectOnRelease").toBool()) {
      // A click that gave the box focus also placed the cursor: the whole text stays selected.
      Text[i]->setProperty("selectOnRelease", false);
      Text[i]->selectAll();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form_Load(ConverterForm& f) {
  f.Option[1]->setChecked(true);
  for (int i = 1; i <= 4; ++i) f.Text[i]->setText(QString());
  f.Label[3]->setEnabled(false);
  f.Label[4]->setEnabled(false);
  f.Text[3]->setEnabled(false);
  f.Text[4]->setEnabled(false);
  f.Check[5]->setChecked(true);
  ClearResults(f);
}

void SetInputBoxesGrid(ConverterForm& f) {
  f.Label[3]->setEnabled(false);
  f.Label[4]->setEnabled(false);
  f.Text[3]->setEnabled(false);
  f.Text[4]->setEnabled(false);
  f.Label[1]->setEnabled(true);
  f.Label[2]->setEnabled(true);
  f.Text[1]->setEnabled(true);
  f.Text[2]->setEnabled(true);
}

void SetInputBoxesGeodetic(ConverterForm& f) {
  f.Label[1]->setEnabled(false);
  f.Label[2]->setEnabled(false);
  f.Text[1]->setEnabled(false);
  f.Text[2]->setEnabled(false);
  f.Label[3]->setEnabled(true);
  f.Label[4]->setEnabled(true);
  f.Text[3]->setEnabled(true);
  f.Text[4]->setEnabled(true);
}

void ResetOutputChecks(ConverterForm& f) {
  f.Check[1]->setChecked(true);
  for (int i = 2; i <= 6; ++i) f.Check[i]->setChecked(false);
}

void Option1_Click(ConverterForm& f) { SetInputBoxesGrid(f); }
void Option2_Click(ConverterForm& f) { SetInputBoxesGrid(f); }
void Option3_Click(ConverterForm& f) { SetInputBoxesGrid(f); }
void Option4_Click(ConverterForm& f) { SetInputBoxesGrid(f); }
void Option5_Click(ConverterForm& f) {
  SetInputBoxesGeodetic(f);
  ResetOutputChecks(f);
}
void Option6_Click(ConverterForm& f) {
  SetInputBoxesGeodetic(f);
  ResetOutputChecks(f);
}

void Text1_GotFocus(ConverterForm& f) { f.Text[1]->selectAll(); }
void Text2_GotFocus(ConverterForm& f) { f.Text[2]->selectAll(); }
void Text3_GotFocus(ConverterForm& f) { f.Text[3]->selectAll(); }
void Text4_GotFocus(ConverterForm& f) { f.Text[4]->selectAll(); }

void ClearResults(ConverterForm& f) {
  for (int i = 5; i <= 14; ++i) f.Label[i]->setText(QString());
  f.state.conversion.store.Clear();
}

Fault TakeInput(ConverterForm& f) {
  if (!InputPresent(f)) return Fault::None;
  ClearResults(f);
  const int option = SelectedOption(f);
  const norvane::InputSystemInfo& in = norvane::InputSystemFor(option);
  const QString first = in.geodetic ? f.Text[3]->text() : f.Text[1]->text();
  const QString second = in.geodetic ? f.Text[4]->text() : f.Text[2]->text();
  const Fault fault = norvane::ReadInput(f.state.conversion, option, Std(first), Std(second));
  f.Label[5]->setText(in.name);
  f.Label[7]->setText(in.caption1);
  f.Label[8]->setText(in.caption2);
  f.Label[9]->setText(first);
  f.Label[10]->setText(second);
  return fault;
}

Fault ShowResult(ConverterForm& f) {
  ConverterState& s = f.state;
  // At most one round of the six systems: a form with nothing ticked shows nothing.
  for (int looked = 0; !s.shown && looked <= 6; ++looked) {
    if (s.resultIndex >= 1 && s.resultIndex <= 6 && f.Check[s.resultIndex]->isChecked()) {
      const norvane::ResultSystemInfo& info = norvane::ResultSystemFor(s.resultIndex);
      norvane::ResultText r;
      const Fault fault = norvane::DeriveResult(s.conversion, s.resultIndex, r);
      if (fault == Fault::NoInput) {
        // No coordinate to start from: no numbers, a plain word instead.
        f.Label[6]->setText(BareName(s.resultIndex));
        f.Label[11]->setText(info.caption1);
        f.Label[12]->setText(info.caption2);
        f.Label[13]->setText(norvane::kNotAvailable1);
        f.Label[14]->setText(norvane::kNotAvailable2);
      } else if (fault != Fault::None) {
        return fault;
      } else {
        f.Label[6]->setText(Q(r.shownName));
        f.Label[11]->setText(Q(r.caption1));
        f.Label[12]->setText(Q(r.caption2));
        f.Label[13]->setText(Q(r.value1));
        f.Label[14]->setText(Q(r.value2));
      }
      s.shown = true;
    }
    if (!s.shown) ++s.resultIndex;
    if (s.resultIndex > 6) s.resultIndex = 1;
  }
  return Fault::None;
}

void Command1_Click(ConverterForm& f) {
  if (!AnyTicked(f)) return;
  if (!InputPresent(f)) return;
  const Snapshot before = Take(f);
  Fault fault = TakeInput(f);
  if (fault == Fault::None) {
    f.state.resultIndex = 1;
    f.state.shown = false;
    fault = ShowResult(f);
  }
  if (fault != Fault::None) {
    Restore(f, before);
    ReportFault(f, fault);
  }
}

void Command2_Click(ConverterForm& f) {
  if (!AnyTicked(f)) return;
  if (!InputPresent(f)) return;
  const Snapshot before = Take(f);
  f.state.resultIndex = static_cast<int16_t>(f.state.resultIndex + 1);
  f.state.shown = false;
  if (const Fault fault = ShowResult(f); fault != Fault::None) {
    Restore(f, before);
    ReportFault(f, fault);
  }
}

void PrintResults(ConverterForm& f) {
  if (!InputPresent(f)) return;
  ConverterState& s = f.state;
  if (!s.printer.IsOpen() && !s.printer.Acquire("norvane", QFont("Courier New", 10))) {
    const platform::NamedPrinter missing = platform::MissingNamedPrinter();
    platform::ShowMessage(&f, norvane::kNoPrinterTitle,
                          missing.name.isEmpty()
                              ? QString(norvane::kNoPrinterText)
                              : platform::PrinterNotFoundText(missing.name) +
                                    QString::fromStdString(norvane::PrinterNotFoundText(
                                        missing.setting.toStdString())));
    return;
  }
  const Snapshot before = Take(f);
  Fault fault = TakeInput(f);
  const int option = SelectedOption(f);
  const bool geodetic = norvane::InputSystemFor(option).geodetic;
  const std::vector<std::string> input = norvane::InputColumn(
      option, Std(f.Text[geodetic ? 3 : 1]->text()), Std(f.Text[geodetic ? 4 : 2]->text()));
  // Every block is calculated before anything is printed, so that a fault prints nothing.
  std::vector<std::vector<std::string>> blocks;
  bool notAvailable = false;
  for (int i = 1; i <= 6 && fault == Fault::None && !notAvailable; ++i) {
    if (!f.Check[i]->isChecked()) continue;
    norvane::ResultText r;
    fault = norvane::DeriveResult(s.conversion, i, r);
    if (fault == Fault::NoInput) {
      fault = Fault::None;
      notAvailable = true;
    } else if (fault == Fault::None) {
      blocks.push_back(norvane::ResultColumn(r));
    }
  }
  if (fault != Fault::None) {
    Restore(f, before);
    ReportFault(f, fault);
    return;
  }
  if (notAvailable) {
    // Nothing meaningful to print for an input pair that is zero or no number.
    f.Label[13]->setText(norvane::kNotAvailable1);
    f.Label[14]->setText(norvane::kNotAvailable2);
    return;
  }
  for (const auto& result : blocks) {
    for (int line = 0; line < 3; ++line) {
      s.printer.PrintAtColumn(norvane::kInputColumn, Q(input[line]));
      s.printer.PrintAtColumn(norvane::ResultColumnFor(input[line]), Q(result[line]));
      s.printer.NewLine();
    }
    f.Label[13]->setText("Result outputed to");
    f.Label[14]->setText("printer already !!!");
  }
  s.printer.PrintLine(QString());
  if (!s.printer.IsOpen()) {
    platform::ShowMessage(&f, norvane::kNoPrinterTitle,
                          "The printer could not be started, so the results were not printed.");
    f.Label[13]->setText(QString());
    f.Label[14]->setText(QString());
  }
}

void Command3_Click(ConverterForm& f) { PrintResults(f); }

void Command4_Click(ConverterForm& f) { f.close(); }

void Command5_Click(ConverterForm& f) {
  platform::ShowMessage(&f, "About", Q(norvane::AboutText()));
}
