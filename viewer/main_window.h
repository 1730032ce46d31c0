#pragma once
// The viewer's main window "QOVA File View": five command buttons over an edit box that
// holds the document text, and the commands Open, Margins and Font.
#include <QDialog>
#include <QFont>
#include <QString>

#include <string>

#include "viewer/page_settings.h"

class QPlainTextEdit;
class QPushButton;

namespace viewer {

// Everything the program keeps besides its window.
struct ViewerState {
  PageSettings settings;   // margins, font and paper shared with the preview and printing
  QFont editFont;          // the edit box's current font
  std::string lastFolder;  // folder of the last file opened, with its final separator
};

// The filters of the open-file dialog, in order.
QStringList OpenFileFilters();

class MainWindow : public QDialog {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);

  ViewerState& state() { return state_; }
  QPlainTextEdit* editBox() const { return edit_; }
  QPushButton* openButton() const { return open_; }
  QPushButton* previewButton() const { return preview_; }
  QPushButton* marginsButton() const { return margins_; }
  QPushButton* fontButton() const { return font_; }
  QPushButton* exitButton() const { return exit_; }

  // The edit box's text as the document text (lines ended by CR LF).
  QString documentText() const;
  // Places a document text in the edit box, which shows it up to its first zero byte.
  void setDocumentText(const std::string& text);

  void openCommand();
  void previewCommand();
  void marginsCommand();
  void fontCommand();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  ViewerState state_;
  QPushButton* open_;
  QPushButton* preview_;
  QPushButton* margins_;
  QPushButton* font_;
  QPushButton* exit_;
  QPlainTextEdit* edit_;
};

// The document text as the edit box shows it: cut at the first zero byte, read as UTF-8
// when it is valid UTF-8 and byte for byte (Latin-1) otherwise.
QString DocumentToEditText(const std::string& text);
// The edit box's text with its line breaks as CR LF.
QString EditTextToDocument(const QString& text);

// Runs the open-file dialog; with a file chosen, updates the last folder and the
// window's caption and returns the file's document text (empty when cancelled or when
// the file cannot be loaded, after the message box "Error").
std::string OpenDocument(QWidget* owner, ViewerState& state);
// The page setup dialog with only the margins to change; 1 when confirmed.
int EditMargins(QWidget* owner, PageSettings& settings);
// The font dialog without effects; 1 when a font was chosen (then in newFont).
int ChooseViewerFont(QWidget* owner, QFont& newFont, PageSettings& settings);

}  // namespace viewer
