// The section plotter's dialog and its plot conversation.
#include "secplot/sectra_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/dialog_units.h"
#include "secplot/prompt_canvas.h"
#include "toolkit/first_field.h"
#include "toolkit/number_text.h"
#include "toolkit/prompt_window.h"
#include "toolkit/survey_files.h"

namespace secplot {

using toolkit::PromptWindow;

SectraWindow::SectraWindow(const SectraBuild& build, QWidget* parent)
    : QDialog(parent), build_(build) {
  setWindowTitle("Section File Plot");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(platform::DuToPxX(700), platform::DuToPxY(build_.dialogHeightDu));
  move(0, 0);

  area_ = new PromptWindow(this, kAreaId,
                           QSize(platform::DuToPxX(700), platform::DuToPxY(build_.areaHeightDu)));
  area_->move(0, 0);
  area_->Clear(toolkit::Rgb(0, 0, 0));
  area_->SetColours(toolkit::kSystemColour, toolkit::Rgb(0, 0, 0));

  const int buttonY = platform::DuToPxY(build_.buttonRowDu);
  const QSize buttonSize(platform::DuToPxX(50), platform::DuToPxY(14));
  start_ = new QPushButton("&Start", this);
  start_->setObjectName("start");
  start_->setAutoDefault(false);
  start_->setGeometry(QRect(QPoint(platform::DuToPxX(530), buttonY), buttonSize));
  exit_ = new QPushButton("E&xit", this);
  exit_->setObjectName("exit");
  exit_->setAutoDefault(false);
  exit_->setGeometry(QRect(QPoint(platform::DuToPxX(580), buttonY), buttonSize));
  exit_->setEnabled(false);

  connect(start_, &QPushButton::clicked, this, &SectraWindow::StartClicked);
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
}

SectraWindow::~SectraWindow() {
  for (SectionFileEntry& e : state_.files) toolkit::CloseSurveyFile(e.file);
}

void SectraWindow::keyPressEvent(QKeyEvent* event) {
  // Escape does not close the plotter: only "E&xit" and the window's close box do.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void SectraWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) setCursor(Qt::CrossCursor);
  QDialog::mousePressEvent(event);
}

void SectraWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) unsetCursor();
  QDialog::mouseReleaseEvent(event);
}

void SectraWindow::StartClicked() {
  if (running_ || !area_) return;
  running_ = true;
  QPointer<SectraWindow> self(this);
  start_->setEnabled(false);
  exit_->setEnabled(false);
  area_->BeginConversation();
  RunPlotConversation(*area_, state_, build_);
  if (!self) return;
  running_ = false;
  if (start_) start_->setEnabled(true);
  if (exit_) exit_->setEnabled(true);
}

void Pause(PromptWindow* area, int milliseconds) {
  QPointer<PromptWindow> guard(area);
  QElapsedTimer timer;
  timer.start();
  while (guard && !guard->Closed() && timer.elapsed() < milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

std::string FindSectionFile(const std::string& typedName) {
  const std::string exact = typedName + toolkit::KindExtension(toolkit::SurveyKind::Sec);
  if (toolkit::SurveyFileExists(exact)) return exact;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path wanted(exact);
  const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string key = upper(wanted.filename().string());
  if (key.empty() || !fs::is_directory(folder, ec)) return {};
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (upper(it->path().filename().string()) != key) continue;
    if (!found.empty()) return {};  // more than one spelling: take none
    found = (wanted.has_parent_path() ? it->path() : it->path().filename()).string();
  }
  return found;
}

namespace {

// One run of the conversation on the graphic prompt window.
class Run {
 public:
  Run(PromptWindow& area, SectionPlotState& state, const SectraBuild& build)
      : area_(&area), state_(state), build_(build), canvas_(area) {}

  bool Closed() const { return !area_ || area_->Closed(); }

  void SelectFont(const LabelFont& f) {
    font_ = f;
    area_->SetFont(canvas_.FontFor(f));
  }

  // Clears the area when the next text line would not fit below the text position.
  void KeepRoom() {
    const int line = QFontMetrics(canvas_.FontFor(font_).font).lineSpacing();
    if (area_->TextPosition().y() + line > area_->height()) area_->Clear();
  }

  void Say(const std::string& text) {
    KeepRoom();
    area_->Print(text);
    area_->NewLine();
  }

  // Prints the prompt, reads a line and gives its first field; false when the window closed.
  bool Ask(const std::string& prompt, std::string& answer) {
    KeepRoom();
    area_->Print(prompt);
    const std::string line = area_->ReadLine();
    if (Closed()) return false;
    answer = toolkit::FirstField(line);
    return true;
  }

  static bool IsN(const std::string& a) { return a == "n" || a == "N"; }

  bool AskFiles() {
    Say("IF NO MORE SECTION FILES THEN ( N ) enter ");
    Say("[[ MAX. FILES = 5 ONLY ]]");
    int k = 1;
    while (k <= kMaxFiles) {
      std::string name, labels;
      if (!Ask("Input No." + toolkit::NumberText(k) + " Section File=", name)) return false;
      if (IsN(name)) break;
      if (!Ask(" Height Plot (Y/N)", labels)) return false;
      SectionFileEntry& entry = state_.files[k - 1];
      toolkit::CloseSurveyFile(entry.file);
      entry.labels = !(labels == "N" || labels == "n");
      entry.record = 1;
      const std::string found = FindSectionFile(name);
      if (found.empty()) {
        Say("File not found ..........");
        continue;
      }
      // The file may have gone or changed since the test above. Its first record is read
      // at once, so that a file whose reads fail is refused here and asked for again.
      const toolkit::OpenResult opened =
          toolkit::OpenSurveyFileNamed(entry.file, found, toolkit::SurveyKind::Sec);
      if (opened == toolkit::OpenResult::Missing) {
        Say("File not found ..........");
        continue;
      }
      if (opened != toolkit::OpenResult::Ok || !toolkit::ReadRecord(entry.file, 1)) {
        toolkit::CloseSurveyFile(entry.file);
        Say("File cannot be read ..........");
        continue;
      }
      entry.fileName = found;
      state_.fileCount = k;
      ++k;
    }
    return true;
  }

  bool AskScale(const std::string& prompt, long double& scale) {
    for (;;) {
      std::string answer;
      if (!Ask(prompt, answer)) return false;
      scale = toolkit::ReadTextNumber(answer);
      if (ScaleUsable(scale)) return true;
      Say("Scale must be a number greater than 0");
    }
  }

  bool AskScalesAndNames() {
    for (;;) {
      if (!AskScale("     Horiz.Scale=1/", state_.horizScale)) return false;
      if (!AskScale("      Vert.Scale=1/", state_.vertScale)) return false;
      area_->NewLine();
      std::string first, last, ok;
      if (!Ask("1st section name = ", first)) return false;
      if (!Ask("Last section name = ", last)) return false;
      if (!Ask("Input OK ( Y/N )=", ok)) return false;
      if (IsN(ok)) {
        area_->Clear();
        continue;
      }
      SetSectionRange(state_, first, last);
      return true;
    }
  }

  bool AskCornerValue(const std::string& prompt, long double& value) {
    std::string answer;
    if (!Ask(prompt + toolkit::NumberText(value) + ")=", answer)) return false;
    if (!answer.empty()) value = toolkit::ReadTextNumber(answer);
    return true;
  }

  bool AskCorner() {
    for (;;) {
      long double x0 = state_.x0, y0 = state_.y0;
      if (!AskCornerValue(" L.H.Corner of Sect.: Dist.(", x0)) return false;
      if (!AskCornerValue(" L.H.Corner of Sect.:   Ht.(", y0)) return false;
      if (!PageUsable(PageFor(state_.horizScale, state_.vertScale, x0, y0, build_.page))) {
        Say("Corner out of range for these scales");
        continue;
      }
      state_.x0 = x0;
      state_.y0 = y0;
      std::string ok;
      if (!Ask("   Input O.K. (Y/N)= ", ok)) return false;
      if (!IsN(ok)) return true;
    }
  }

  // Text on the page at a world point, kept inside the area so that it can be read
  // whatever the vertical scale.
  void PlaceText(long double x, long double y) {
    const QPoint p = area_->ToPixel(double(x), double(y));
    const int line = QFontMetrics(canvas_.FontFor(font_).font).lineSpacing();
    const int top = std::clamp(p.y(), 0, std::max(0, area_->height() - line));
    area_->SetTextPositionPixels(QPoint(std::clamp(p.x(), 0, area_->width()), top));
  }

  void ShowTitle() {
    area_->SetColours(build_.page.text, build_.page.background);
    SelectFont({"Arial", 10, 0});
    const PageGeometry& page = state_.page;
    PlaceText((page.x0 + page.xr) / 2, page.y0 + 5);
    area_->Print(state_.sectionName + "Hor 1/" + toolkit::NumberText(state_.horizScale) +
                 "  Vert 1/" + toolkit::NumberText(state_.vertScale));
    area_->NewLine();
    PlaceText(page.x0, page.y0 + 5);
    area_->Print(" Press(E) to End, (S) to Save Image,Any KEY continue ");
    area_->NewLine();
  }

  // Saves the area as the section name and ".BMP"; the text of a failure, or empty.
  std::string SaveImage() {
    const std::string name = state_.sectionName + ".BMP";
    if (area_->SaveImage(name)) return {};
    return "Image not saved: " + name;
  }

  void Failure(const std::string& text) {
    area_->SetColours(build_.page.text, build_.page.background);
    SelectFont({"Arial", 10, 0});
    area_->SetTextPositionPixels(QPoint(0, 0));
    area_->Print(text);
    area_->NewLine();
    Pause(area_, kErrorPauseMs);
  }

  void LastPrompt() {
    if (Closed()) return;
    ShowTitle();
    const std::string key = area_->WaitKey();
    if (Closed()) return;
    if (key == "S" || key == "s") {
      const std::string failed = SaveImage();
      if (!failed.empty()) Say(failed);
    }
  }

  void Go() {
    area_->SetFocusArea();
    area_->Clear(toolkit::Rgb(0, 0, 0));
    SelectFont({"Arial", 12, 0});
    area_->SetColours(toolkit::Rgb(255, 255, 255), toolkit::Rgb(0, 0, 0));
    for (SectionFileEntry& e : state_.files) toolkit::CloseSurveyFile(e.file);
    state_ = SectionPlotState{};

    if (!AskFiles() || !AskScalesAndNames()) return;
    std::string notice;
    for (;;) {
      if (!notice.empty()) Say(notice);
      notice.clear();
      if (!AskCorner()) return;
      const PageResult result = DrawSectionPage(state_, canvas_, build_.page);
      area_->Flush();
      if (result == PageResult::WrongSection) {
        Failure("Wrong Section name in File....Check then Rerun");
        return LastPrompt();
      }
      if (result == PageResult::FileError) {
        Failure("File  error ");
        return LastPrompt();
      }
      if (result == PageResult::ReadError) {
        const int k = std::clamp(state_.failedFile, 1, kMaxFiles);
        Failure("The file cannot be read: " + state_.files[k - 1].fileName);
        return LastPrompt();
      }
      if (PageWasLast(state_)) return LastPrompt();
      ShowTitle();
      const std::string key = area_->WaitKey();
      if (Closed()) return;
      if (key == "E" || key == "e") return LastPrompt();
      if (key == "S" || key == "s") notice = SaveImage();
      area_->Clear(build_.page.background);
    }
  }

 private:
  QPointer<PromptWindow> area_;
  SectionPlotState& state_;
  const SectraBuild& build_;
  PromptCanvas canvas_;
  LabelFont font_{"Arial", 12, 0};
};

}  // namespace

void RunPlotConversation(PromptWindow& area, SectionPlotState& state, const SectraBuild& build) {
  {
    Run run(area, state, build);
    run.Go();
  }
  for (SectionFileEntry& e : state.files) toolkit::CloseSurveyFile(e.file);
}

}  // namespace secplot
