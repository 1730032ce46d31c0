// The lister's conversation, step by step as a surveyor meets it.
#include "lister/lister_run.h"

#include <QCoreApplication>
#include <QWidget>
#include <filesystem>
#include <system_error>

#include "toolkit/first_field.h"

namespace lister {

using toolkit::SurveyKind;

namespace {

constexpr long kWhite = toolkit::Rgb(255, 255, 255);
constexpr long kBlack = toolkit::Rgb(0, 0, 0);

void Line(ListerRun& run, const std::string& text) {
  run.area->Print(text);
  run.area->NewLine();
}

// Prints the question and reads the answer; false when the window closed meanwhile.
bool Ask(ListerRun& run, const char* question, std::string& answer) {
  run.area->Print(question);
  answer = run.area->ReadLine();
  return !RunEnded(run);
}

bool WaitForKey(ListerRun& run, std::string& key) {
  key = run.area->WaitKey();
  return !RunEnded(run) && !key.empty();
}

bool IsYes(const std::string& answer) {
  const std::string field = toolkit::FirstField(answer);
  return field == "Y" || field == "y";
}

bool ScreenLineSink(void* context, const std::string& line) {
  auto& run = *static_cast<ListerRun*>(context);
  if (RunEnded(run)) return false;
  Line(run, line);
  return true;
}

bool AcquirePrinter(ListerRun& run) {
  if (run.printer.IsOpen()) return true;
  return run.printer.Acquire(QStringLiteral("lisket"), QFont(QStringLiteral("Courier New"), 10));
}

}  // namespace

bool RunEnded(const ListerRun& run) {
  return !run.area || run.area->Closed() || !run.window || !run.window->isVisible();
}

bool PrinterLineSink(void* context, const std::string& line) {
  auto& run = *static_cast<ListerRun*>(context);
  run.printer.PrintLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  // A long listing keeps the window painted, and "E&xit" or the close box stop it.
  if ((++run.printedLines % 512) == 0) {
    QCoreApplication::processEvents();
    if (RunEnded(run)) return false;
  }
  return true;
}

void PrepareRun(ListerRun& run) {
  run.area->BeginConversation();
  AcquirePrinter(run);
  run.area->SetColours(kWhite, kBlack);
  run.area->Clear(kBlack);
  run.area->SetFocusArea();
  run.font = run.area->NewFont("Times New Roman", 12);
  run.area->SetFont(run.font);
}

bool ShowIntroduction(ListerRun& run) {
  run.area->NewLine();
  run.area->Print(kTitle);
  run.area->NewLine();
  run.area->NewLine();
  Line(run, kPressAnyKey);
  std::string key;
  if (!WaitForKey(run, key)) return false;
  return !(key == "Q" || key == "q" || key == "\x1b");
}

bool AskPrinterAndKind(ListerRun& run) {
  ResetRunState(run.state);
  run.area->Clear();
  for (;;) {
    run.area->NewLine();
    std::string answer;
    if (!Ask(run, kPrinterQuestion, answer)) return false;
    run.state.printerFlag = IsYes(answer) ? 1 : 0;
    if (run.state.printerFlag == 1 && !AcquirePrinter(run)) {
      // Say so rather than print into nowhere: the listing comes on screen instead.
      const platform::NamedPrinter missing = platform::MissingNamedPrinter();
      Line(run, missing.name.isEmpty()
                    ? std::string(kNoPrinter)
                    : (platform::PrinterNotFoundText(missing.name) + QStringLiteral(" (named in ") +
                       missing.setting + QStringLiteral(") - listing on screen"))
                          .toStdString());
      run.state.printerFlag = 0;
    }
    for (SurveyKind kind : kListedKinds) {
      if (!Ask(run, KindQuestion(kind).c_str(), answer)) return false;
      if (IsYes(answer)) {
        SetKindFlag(run.state, kind);
        run.kind = kind;
        return true;
      }
    }
    Line(run, kTryAgain);
  }
}

bool AskFileName(ListerRun& run) {
  for (;;) {
    run.area->SetFont(run.font);
    std::string answer;
    if (!Ask(run, kFileNameQuestion, answer)) return false;
    const std::string name = toolkit::FirstField(answer) + toolkit::KindExtension(run.kind);
    if (!toolkit::SurveyFileExists(name)) {
      run.area->Clear();
      continue;
    }
    std::error_code error;
    const toolkit::OpenResult result = std::filesystem::is_directory(name, error)
                                           ? toolkit::OpenResult::Unreadable
                                           : toolkit::OpenSurveyFileNamed(run.file, name, run.kind);
    if (result == toolkit::OpenResult::Ok) {
      run.state.fileName = name;
      run.state.lastRecord = run.file.recordCount;
      return true;
    }
    run.area->Clear();
    if (result == toolkit::OpenResult::Unreadable) Line(run, kCannotOpen + name);
  }
}

bool AskStartNumber(ListerRun& run) {
  std::string answer;
  if (!Ask(run, kStartQuestion, answer)) return false;
  const std::string field = toolkit::FirstField(answer);
  run.state.startNumber = WholeRecordNumber(toolkit::ReadTextNumber(field));
  if (run.kind == SurveyKind::Sec && run.state.startNumber != 1) run.state.expectHeader = 0;
  return true;
}

bool AskEndNumber(ListerRun& run) {
  std::string answer;
  if (!Ask(run, kEndQuestion, answer)) return false;
  const std::string field = toolkit::FirstField(answer);
  if (!field.empty()) run.state.lastRecord = WholeRecordNumber(toolkit::ReadTextNumber(field));
  return true;
}

void PrintFileNameLine(ListerRun& run) {
  const std::string text = kFileNameLine + run.state.fileName;
  if (run.state.printerFlag == 1)
    run.printer.PrintLine(QString::fromLatin1(text.data(), qsizetype(text.size())));
  else
    Line(run, text);
}

bool ListOnScreen(ListerRun& run) {
  run.state.currentRecord = run.state.startNumber;
  for (;;) {
    run.area->NewLine();
    Line(run, ColumnHeading(run.kind));
    run.area->NewLine();
    const double first = run.state.currentRecord;
    if (!ListPage(run.state, run.kind, run.file, ScreenLineSink, &run)) return false;
    if (run.state.readFault) {
      Line(run, kCannotRead + run.state.fileName);
      return true;
    }
    Line(run, kContinuePage);
    std::string key;
    if (!WaitForKey(run, key)) return false;
    run.area->Clear();
    if (key == "E" || key == "e") return true;
    run.state.startNumber = first + 20;
    run.state.currentRecord = run.state.startNumber;
    if (!(run.state.startNumber <= run.state.lastRecord)) return true;
  }
}

bool ListOnPrinter(ListerRun& run) {
  run.printer.PrintLine(QString());
  run.printer.PrintLine(QString::fromLatin1(ColumnHeading(run.kind)));
  run.area->NewLine();
  run.area->Flush();
  run.state.currentRecord = run.state.startNumber;
  if (!ListInOnePass(run.state, run.kind, run.file, PrinterLineSink, &run)) return false;
  if (run.state.readFault) {
    // Said on the paper too, so that a short listing is never taken for the whole file.
    const std::string text = kCannotRead + run.state.fileName;
    run.printer.PrintLine(QString::fromLatin1(text.data(), qsizetype(text.size())));
    Line(run, text);
  }
  return true;
}

bool EndListing(ListerRun& run) {
  if (run.state.printerFlag == 1)
    run.printer.Release();
  else
    run.area->NewLine();
  Line(run, kAnotherFile);
  std::string key;
  if (!WaitForKey(run, key)) return false;
  toolkit::CloseSurveyFile(run.file);
  return key == "Y" || key == "y";
}

void EndRun(ListerRun& run) {
  toolkit::CloseSurveyFile(run.file);
  run.printer.Release();
  if (run.area) {
    run.area->ReleaseFont(run.font);
    if (!run.area->Closed()) run.area->Clear();
  }
}

void StartRun(ListerRun& run) {
  PrepareRun(run);
  if (ShowIntroduction(run)) {
    for (;;) {
      if (!AskPrinterAndKind(run) || !AskFileName(run) || !AskStartNumber(run)) break;
      if (run.state.printerFlag == 1 && !AskEndNumber(run)) break;
      PrintFileNameLine(run);
      const bool listed = run.state.printerFlag == 1 ? ListOnPrinter(run) : ListOnScreen(run);
      if (!listed || RunEnded(run)) break;
      if (!EndListing(run)) break;
    }
  }
  EndRun(run);
}

}  // namespace lister
