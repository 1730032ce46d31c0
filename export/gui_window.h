#pragma once
// surveyexport-gui: the export of survey files in a window of its own. The surveyor adds
// files, picks a target in plain words and the options that apply to it, sees the file
// as the suite draws it, and exports; every choice becomes the words of a surveyexport
// command (shown, and copied on request), run by the library on a worker thread.
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "export/gui_command.h"
#include "export/gui_files.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QThreadPool;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace surveyexport {

class PreviewArea;

// The list's columns.
enum ListColumn {
  kColFile,
  kColKind,
  kColRecords,
  kColEMin,
  kColEMax,
  kColNMin,
  kColNMax,
  kColProgress,
  kColResult,
  kColumnCount
};

class ExportWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ExportWindow(QWidget* parent = nullptr);
  ~ExportWindow() override;

  // Adds survey files to the list (a file already listed is not added twice).
  void AddFiles(const QStringList& paths);
  // The choices as they stand, and the commands they make of the list.
  ExportChoices Choices() const;
  BuiltExport Built() const;
  // The equivalent command lines, one a line, as shown.
  QString CommandText() const;
  bool Exporting() const { return exporting_; }
  // Files whose facts are still being read.
  int Reading() const { return reading_; }
  PreviewArea* Preview() const { return preview_; }
  QTreeWidget* List() const { return list_; }

 signals:
  // An export run has ended (done, failed or cancelled).
  void ExportFinished();

 public slots:
  void StartExport();
  void CancelExport();

 protected:
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;
  void closeEvent(QCloseEvent*) override;

 private:
  struct Row {
    std::string path;
    SurveyFileFacts facts;
    bool read = false;
    QTreeWidgetItem* item = nullptr;
    QProgressBar* bar = nullptr;
  };
  void BuildControls();
  void ChoicesChanged();
  void ShowOptions();
  void UpdatePreview();
  void RemoveSelected();
  void ClearList();
  void FactsRead(const QString& path, const SurveyFileFacts& facts);
  void ShowResult(int row, const QString& text, bool failed);
  void RunJobs(std::vector<std::pair<std::vector<std::string>, std::vector<int>>> jobs);
  void JobProgress(std::vector<int> rows, double done);
  void JobDone(std::vector<int> rows, int code, QString out, QString err);
  void AllDone();
  void SetExporting(bool on);
  void LoadSettings();
  void SaveSettings() const;
  std::vector<ListedFile> Listed() const;
  int RowOf(const QTreeWidgetItem* item) const;

  std::vector<Row> rows_;
  QTreeWidget* list_ = nullptr;
  PreviewArea* preview_ = nullptr;
  QComboBox* target_ = nullptr;
  QComboBox* nehAs_ = nullptr;
  QLineEdit* reference_ = nullptr;
  QPushButton* referenceBrowse_ = nullptr;
  QCheckBox *numbers_ = nullptr, *levels_ = nullptr, *flat_ = nullptr, *wgs84_ = nullptr;
  QComboBox* crs_ = nullptr;
  QComboBox* datumShift_ = nullptr;
  QLineEdit* scale_ = nullptr;
  QComboBox* paper_ = nullptr;
  QCheckBox* portrait_ = nullptr;
  QLineEdit* view_ = nullptr;  // --view; not remembered: it belongs to one survey
  QPushButton* viewFromPreview_ = nullptr;
  QComboBox *from_ = nullptr, *to_ = nullptr;
  QLineEdit *horizontal_ = nullptr, *vertical_ = nullptr;
  QCheckBox *heights_ = nullptr, *fit_ = nullptr;
  QLineEdit* outputDir_ = nullptr;
  QPlainTextEdit* command_ = nullptr;
  QLabel* problem_ = nullptr;
  QProgressBar* overall_ = nullptr;
  QPushButton *add_ = nullptr, *remove_ = nullptr, *clear_ = nullptr, *export_ = nullptr,
              *cancelButton_ = nullptr, *openFolder_ = nullptr, *copy_ = nullptr,
              *outputBrowse_ = nullptr;
  // Each option's label and field, shown only where the target takes it.
  struct OptionRow {
    const char* option;  // the command line's option
    QWidget* label;      // may be null
    std::vector<QWidget*> fields;
  };
  std::vector<OptionRow> optionRows_;
  QWidget* nehAsRow_ = nullptr;
  QTimer* previewTimer_ = nullptr;
  std::string previewKey_;

  bool exporting_ = false;
  bool loading_ = false;
  int reading_ = 0;
  std::unique_ptr<QThreadPool> readers_;
  std::atomic<bool> closing_{false};
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  int jobsTotal_ = 0, jobsDone_ = 0;
  std::vector<int> exportRows_;
};

}  // namespace surveyexport
