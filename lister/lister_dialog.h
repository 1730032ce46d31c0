#pragma once
// The lister's window "PRINT or READ FILES": the graphic prompt window and the buttons
// "&Start" and "E&xit".
#include <QDialog>
#include <QPointer>

class QPushButton;

namespace toolkit {
class PromptWindow;
}

namespace lister {

inline constexpr int kAreaId = 3084;
inline constexpr int kStartId = 3072;
inline constexpr int kExitId = 2;

class ListerDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ListerDialog(QWidget* parent = nullptr);

  toolkit::PromptWindow* Area() const { return area_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* ExitButton() const { return exit_; }
  bool Running() const { return running_; }

 signals:
  void RunFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnStart();
  toolkit::PromptWindow* area_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* exit_ = nullptr;
  bool running_ = false;
};

}  // namespace lister
