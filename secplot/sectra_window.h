#pragma once
// The "Section File Plot" dialog: the graphic prompt window in which the whole plot
// conversation runs, and the "&Start" and "E&xit" buttons.
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <string>

#include "secplot/section_page.h"
#include "secplot/section_plot.h"

#include "toolkit/prompt_window.h"

namespace secplot {

// What differs between the main build (sectra) and the dark build (sectra-dark).
struct SectraBuild {
  int dialogHeightDu = 300;  // dialog 700 du wide
  int areaHeightDu = 285;    // graphic area 700 du wide
  int buttonRowDu = 288;     // y of the button row
  PageStyle page = kMainPage;
};
inline const SectraBuild kMainBuild{300, 285, 288, kMainPage};
inline const SectraBuild kDarkBuild{400, 385, 388, kDarkPage};

constexpr int kAreaId = 121;
constexpr int kStartId = 1;
constexpr int kExitId = 131;
constexpr int kErrorPauseMs = 2000;

class SectraWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SectraWindow(const SectraBuild& build, QWidget* parent = nullptr);
  ~SectraWindow() override;

  toolkit::PromptWindow* Area() const { return area_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* ExitButton() const { return exit_; }
  const SectraBuild& Build() const { return build_; }
  // The run's files, names and corner, as the conversation keeps them.
  SectionPlotState& State() { return state_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void StartClicked();
  SectraBuild build_;
  QPointer<toolkit::PromptWindow> area_;
  QPointer<QPushButton> start_;
  QPointer<QPushButton> exit_;
  SectionPlotState state_;
  bool running_ = false;
};

// The plot conversation, run inside the "&Start" click handler: files, scales, names,
// corner, pages, saving, last prompt. Returns when the run is over or the window closed.
void RunPlotConversation(toolkit::PromptWindow& area, SectionPlotState& state,
                         const SectraBuild& build);

// Waits the given milliseconds while the window keeps handling its events; returns early
// when the window is closed.
void Pause(toolkit::PromptWindow* area, int milliseconds);

// The SEC file for a typed name: name + ".SEC", or a file of that name in another letter
// case in the same folder when only such a file exists. Empty when there is none.
std::string FindSectionFile(const std::string& typedName);

}  // namespace secplot
