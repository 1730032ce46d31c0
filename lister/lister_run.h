#pragma once
// The Start run of the lister: the questions, the screen pages and the printer listing,
// held in the graphic prompt window of the dialog.
#include <QPointer>
#include <QString>
#include <string>

#include "lister/lister_core.h"
#include "platform/line_printer.h"
#include "toolkit/prompt_window.h"
#include "toolkit/survey_files.h"

class QWidget;

namespace lister {

// Texts of the conversation.
inline constexpr const char* kTitle = "PROGRAM   Read and Print   TARNE Files";
inline constexpr const char* kPressAnyKey = "Press any key to continue.........( Q ) to exit ";
inline constexpr const char* kPrinterQuestion = "Printer in Use (Y/N) ";
inline constexpr const char* kTryAgain = "TRY AGAIN";
inline constexpr const char* kFileNameQuestion = "Input File Name=";
inline constexpr const char* kStartQuestion = "Start at Point No ";
inline constexpr const char* kEndQuestion = "End Pt.No. or Press (Enter) to File end ";
inline constexpr const char* kFileNameLine = "File Name=";
inline constexpr const char* kContinuePage = "Press any key to Continue.....(E) to exit";
inline constexpr const char* kAnotherFile = "To read another file ( Y )  , else any other key";
inline constexpr const char* kNoPrinter = "No printer is available - listing on screen";
inline constexpr const char* kCannotOpen = "The file cannot be opened: ";
inline constexpr const char* kCannotRead = "The file cannot be read - listing ended: ";

// Everything one Start run works with: the run state, the open file, the printer and the
// graphic area (which goes away when the window is closed).
struct ListerRun {
  ListerState state;
  toolkit::SurveyKind kind = toolkit::SurveyKind::Neh;
  toolkit::SurveyFile file;
  platform::LinePrinter printer;
  QPointer<toolkit::PromptWindow> area;
  QPointer<QWidget> window;
  toolkit::PromptFont font;
  unsigned printedLines = 0;  // lines sent to the printer in this run
};

// True once the window was closed: the run must end at once.
bool RunEnded(const ListerRun& run);

// The whole conversation of one click on "&Start" (steps 1 to 14).
void StartRun(ListerRun& run);

// Step 1: printer, colours, focus and font.
void PrepareRun(ListerRun& run);
// Step 2: the introduction; false when the user ends the run (Q, Escape) or the window.
bool ShowIntroduction(ListerRun& run);
// Steps 3 to 6: run state, "Printer in Use" and the kind questions, until a kind is chosen.
bool AskPrinterAndKind(ListerRun& run);
// Steps 7 and 8: asks for the file name until a file of that name opens.
bool AskFileName(ListerRun& run);
// Step 9: "Start at Point No".
bool AskStartNumber(ListerRun& run);
// Step 10 (printer only): "End Pt.No.".
bool AskEndNumber(ListerRun& run);
// Step 11: "File Name=" on the printer or the screen.
void PrintFileNameLine(ListerRun& run);
// Step 12 on screen: pages of twenty records; false when the window was closed.
bool ListOnScreen(ListerRun& run);
// Step 12 on the printer: the whole listing in one pass.
bool ListOnPrinter(ListerRun& run);
// Step 13: ends the listing; true when the user wants another file.
bool EndListing(ListerRun& run);
// Step 14: closes the file and clears the area.
void EndRun(ListerRun& run);

// The line sink that sends listed lines to run.printer (context: the ListerRun).
bool PrinterLineSink(void* context, const std::string& line);

}  // namespace lister
