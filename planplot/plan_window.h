#pragma once
// The plan plotter's window "NEH File Plot": the 1050 x 700 plot area (a graphic prompt
// window) in which the file prompts are typed and the plan is drawn, the zoom-area label
// and the buttons Start, Zoom, Redraw, Pt.No, Level and Bmp.
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <deque>

#include "planplot/plan_core.h"
#include "toolkit/prompt_window.h"

class QLabel;
class QPushButton;

namespace planplot {

// Control ids of the window.
enum ControlId {
  kIdPlotArea = 121,
  kIdZoomLabel = 201,
  kIdStart = 1,
  kIdZoom = 131,
  kIdRedraw = 132,
  kIdNumbers = 301,
  kIdLevels = 302,
  kIdBmp = 133,
};

// How the last drawing pass went: records read, seconds, and the longest stretch
// (milliseconds) in which the window handled no events.
struct PassStats {
  long long records = 0;
  double seconds = 0;
  double longestGapMs = 0;
};

class PlanWindow : public QDialog {
  Q_OBJECT
 public:
  explicit PlanWindow(const PlanScheme& scheme, QWidget* parent = nullptr);
  ~PlanWindow() override;

  toolkit::PromptWindow* PlotArea() const { return plot_; }
  QLabel* ZoomLabel() const { return zoomLabel_; }
  QPushButton* Button(int id) const;
  // The plotter's state, read-only (for checks of the label offset and the view window).
  const PlanState& State() const { return state_; }
  const PassStats& LastPass() const { return lastPass_; }
  bool Closed() const;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void reject() override;

 private:
  void OnCommand(int id);
  void Dispatch(int id);
  void CommandStart();
  void CommandZoom();
  void CommandRedraw();
  void CommandNumbers();
  void CommandLevels();
  void CommandBmp();
  // A message box over the window, with the window's caption.
  void Say(const std::string& text);
  bool AskPlotFiles();
  void RunPass();
  void BeginDrag(QPoint p);
  void UpdateZoomBoxAt(QPoint p);
  void EndDrag();
  QPoint ClampToClient(QPoint p) const;

  PlanScheme scheme_;
  PlanState state_;
  toolkit::PromptWindow* plot_ = nullptr;
  QLabel* zoomLabel_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* zoom_ = nullptr;
  QPushButton* redraw_ = nullptr;
  QPushButton* numbers_ = nullptr;
  QPushButton* levels_ = nullptr;
  QPushButton* bmp_ = nullptr;
  QWidget* band_ = nullptr;  // shows the snapshot with the rubber band during a drag

  bool closed_ = false;
  bool passRunning_ = false;
  bool prompting_ = false;
  toolkit::PromptFont promptFont_;
  std::deque<int> pending_;  // commands clicked while a pass was running
  PassStats lastPass_;

  bool dragging_ = false;
  QPoint dragStart_;
  DragRect dragRect_;
  QPixmap snapshot_;
};

}  // namespace planplot
