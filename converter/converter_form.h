#pragma once
// The converter form: input system, typed coordinates, the result systems to calculate,
// and a result frame that shows the input beside one result at a time. The controls keep
// their form names as object names (Option1..Option6, Check1..Check6, Text1..Text4,
// Label1..Label15, Command1..Command5, Frame1..Frame3); the handlers are free functions
// named after the events they serve.
#include <QWidget>

#include <cstdint>

#include "converter/form_logic.h"
#include "platform/line_printer.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What the form keeps beside its controls.
struct ConverterState {
  norvane::Conversion conversion;  // the coordinate store and the active projection record
  int16_t resultIndex = 0;         // result system shown last, 1..6 (Check1..Check6); 0 at start
  bool shown = false;              // used while a result is looked for
  platform::LinePrinter printer;   // the print document of this run, released at the end
};

class ConverterForm : public QWidget {
  Q_OBJECT
 public:
  explicit ConverterForm(QWidget* parent = nullptr);
  ~ConverterForm() override;

  // Controls by their form numbers (index 0 unused).
  QGroupBox* Frame[4] = {};
  QRadioButton* Option[7] = {};
  QCheckBox* Check[7] = {};
  QLineEdit* Text[5] = {};
  QLabel* Label[16] = {};
  QPushButton* Command[6] = {};

  ConverterState state;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Twips of the form's design (15 twips a pixel) to pixels.
QRect TwipsRect(int left, int top, int width, int height);

void Form_Load(ConverterForm& f);
void Option1_Click(ConverterForm& f);
void Option2_Click(ConverterForm& f);
void Option3_Click(ConverterForm& f);
void Option4_Click(ConverterForm& f);
void Option5_Click(ConverterForm& f);
void Option6_Click(ConverterForm& f);
void Text1_GotFocus(ConverterForm& f);
void Text2_GotFocus(ConverterForm& f);
void Text3_GotFocus(ConverterForm& f);
void Text4_GotFocus(ConverterForm& f);
void Command1_Click(ConverterForm& f);  // Calculate
void Command2_Click(ConverterForm& f);  // Next Result
void Command3_Click(ConverterForm& f);  // Print Result
void Command4_Click(ConverterForm& f);  // Quit
void Command5_Click(ConverterForm& f);  // About

void ClearResults(ConverterForm& f);
// Reads the input into the store and echoes it. Fault::None also when the pair read is
// absent (the results then show as not available).
norvane::Fault TakeInput(ConverterForm& f);
norvane::Fault ShowResult(ConverterForm& f);
void PrintResults(ConverterForm& f);
void SetInputBoxesGrid(ConverterForm& f);
void SetInputBoxesGeodetic(ConverterForm& f);
void ResetOutputChecks(ConverterForm& f);
