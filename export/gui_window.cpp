// The export window: the list, the preview, the choices, and the run on a worker thread.
#include "export/gui_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "export/gui_preview.h"
#include "export/plan_sheet.h"
#include "export/run_export.h"
#include "export/section_layout.h"
#include "export/table_export.h"
#include "toolkit/number_text.h"

namespace surveyexport {

namespace {

// The short list of coordinate systems: what the window says, what --crs is given.
struct CrsChoice {
  const char* title;
  const char* value;  // "" the format's own default
};
const CrsChoice kCrsChoices[] = {
    {"Default of the format", ""},
    {"Hong Kong 1980 Grid", "EPSG:2326"},
    {"WGS 84", "EPSG:4326"},
    {"UTM 49N on WGS 84", "EPSG:32649"},
    {"UTM 50N on WGS 84", "EPSG:32650"},
    {"None (grid values, no system)", "none"},
};

// What --crs takes for the text of the coordinate system box: a title of the short list,
// or the text itself (EPSG:n, a PROJ string, WKT) for the parser to judge.
std::string CrsValue(const QString& text) {
  for (const CrsChoice& c : kCrsChoices)
    if (text == QLatin1String(c.title)) return c.value;
  return text.trimmed().toStdString();
}

QString Number(double v) { return QString::number(v, 'f', 3); }

// The line the command line writes, without its program prefix.
QString Unprefixed(QString line) {
  line = line.trimmed();
  const QString prefix = QStringLiteral("surveyexport: ");
  QStringList lines = line.split('\n', Qt::SkipEmptyParts);
  for (QString& l : lines)
    if (l.startsWith(prefix)) l = l.mid(prefix.size());
  return lines.join(QStringLiteral("; "));
}

}  // namespace

ExportWindow::ExportWindow(QWidget* parent) : QWidget(parent), readers_(new QThreadPool) {
  setWindowTitle(tr("Survey Export"));
  setAcceptDrops(true);
  readers_->setMaxThreadCount(2);
  BuildControls();
  LoadSettings();
  ChoicesChanged();
}

ExportWindow::~ExportWindow() {
  closing_ = true;
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  readers_->waitForDone();
}

void ExportWindow::BuildControls() {
  // The files.
  list_ = new QTreeWidget;
  list_->setColumnCount(kColumnCount);
  list_->setHeaderLabels({tr("File"), tr("Kind"), tr("Records"), tr("E min"), tr("E max"),
                          tr("N min"), tr("N max"), tr("Progress"), tr("Result")});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setAlternatingRowColors(true);
  list_->header()->setStretchLastSection(true);
  list_->setMinimumHeight(140);
  auto* listLabel = new QLabel(tr("Survey file&s:"));
  listLabel->setBuddy(list_);
  add_ = new QPushButton(tr("&Add files…"));
  add_->setShortcut(QKeySequence::Open);
  remove_ = new QPushButton(tr("Re&move"));
  clear_ = new QPushButton(tr("Cl&ear"));
  auto* fileButtons = new QHBoxLayout;
  fileButtons->addWidget(listLabel);
  fileButtons->addStretch();
  fileButtons->addWidget(add_);
  fileButtons->addWidget(remove_);
  fileButtons->addWidget(clear_);

  preview_ = new PreviewArea;
  preview_->setToolTip(
      tr("Wheel or + and - to zoom, drag or the arrow keys to pan, Home for the whole"));
  auto* previewShortcut = new QShortcut(QKeySequence(tr("Ctrl+Shift+P")), this);
  connect(previewShortcut, &QShortcut::activated, preview_, [this] { preview_->setFocus(); });

  // The choices.
  target_ = new QComboBox;
  for (int t = 0; t < kTargetCount; ++t) target_->addItem(tr(TargetTitle(static_cast<Target>(t))));
  nehAs_ = new QComboBox;
  nehAs_->addItems({tr("their plan (points and lines)"), tr("their records as a table")});
  reference_ = new QLineEdit;
  reference_->setPlaceholderText(tr("none"));
  referenceBrowse_ = new QPushButton(tr("&Browse…"));
  numbers_ = new QCheckBox(tr("&Numbers"));
  levels_ = new QCheckBox(tr("&Levels"));
  crs_ = new QComboBox;
  crs_->setEditable(true);
  for (const CrsChoice& c : kCrsChoices) crs_->addItem(tr(c.title));
  crs_->setToolTip(tr("A system of the list, or any EPSG:n code, PROJ string or WKT"));
  datumShift_ = new QComboBox;
  datumShift_->addItems({tr("Official (PROJ)"), tr("The suite's own chain")});
  flat_ = new QCheckBox(tr("&2D, without heights"));
  wgs84_ = new QCheckBox(tr("WGS &84 latitude and longitude columns"));
  scale_ = new QLineEdit;
  scale_->setPlaceholderText(tr("largest that fits"));
  paper_ = new QComboBox;
  paper_->addItem(tr("Standard (plan A3, sections A4)"));
  for (const PaperSize& p : PaperSeries()) paper_->addItem(QString::fromStdString(p.name));
  portrait_ = new QCheckBox(tr("Portrait, &upright"));
  view_ = new QLineEdit;
  view_->setPlaceholderText(tr("E1,N1,E2,N2 (empty: the whole survey)"));
  viewFromPreview_ = new QPushButton(tr("Ac&quire from the preview"));
  viewFromPreview_->setToolTip(
      tr("Draw only what the preview shows now: zoom and pan the preview, then press this"));
  from_ = new QComboBox;
  from_->setEditable(true);
  to_ = new QComboBox;
  to_->setEditable(true);
  horizontal_ = new QLineEdit;
  vertical_ = new QLineEdit;
  heights_ = new QCheckBox(tr("&Heights beside the points"));
  fit_ = new QCheckBox(tr("&Keep the sheet (fit at smaller scales)"));
  outputDir_ = new QLineEdit;
  outputBrowse_ = new QPushButton(tr("Bro&wse…"));

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  auto addRow = [&](const QString& text, QWidget* field, const char* option,
                    std::vector<QWidget*> more = {}) {
    QLabel* label = nullptr;
    QWidget* shown = field;
    if (!more.empty()) {
      auto* box = new QWidget;
      auto* h = new QHBoxLayout(box);
      h->setContentsMargins(0, 0, 0, 0);
      h->addWidget(field, 1);
      for (QWidget* w : more) h->addWidget(w);
      shown = box;
    }
    if (!text.isEmpty()) {
      label = new QLabel(text);
      label->setBuddy(field);
      form->addRow(label, shown);
    } else {
      form->addRow(shown);
    }
    if (option) {
      std::vector<QWidget*> fields{shown};
      optionRows_.push_back({option, label, fields});
    }
    return shown;
  };
  addRow(tr("Export &to:"), target_, nullptr);
  nehAsRow_ = addRow(tr("NEH files &go as:"), nehAs_, nullptr);
  addRow(tr("&Reference file:"), reference_, "--reference", {referenceBrowse_});
  {
    auto* box = new QWidget;
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(numbers_);
    h->addWidget(levels_);
    h->addStretch();
    // The check boxes carry the keys; the row's label only names them.
    auto* label = new QLabel(tr("Point labels:"));
    form->addRow(label, box);
    optionRows_.push_back({"--numbers", label, {box}});
  }
  addRow(tr("&Coordinate system:"), crs_, "--crs");
  addRow(tr("&Datum shift:"), datumShift_, "--datum-shift");
  addRow(QString(), flat_, "--2d");
  addRow(QString(), wgs84_, "--wgs84");
  addRow(tr("Scale &1:"), scale_, "--scale");
  addRow(tr("&Paper:"), paper_, "--paper");
  addRow(QString(), portrait_, "--portrait");
  addRow(tr("Draw &just the window:"), view_, "--view", {viewFromPreview_});
  addRow(tr("&From section:"), from_, "--from");
  addRow(tr("T&o section:"), to_, "--to");
  addRow(tr("Hori&zontal 1:"), horizontal_, "--horizontal");
  addRow(tr("&Vertical 1:"), vertical_, "--vertical");
  addRow(QString(), heights_, "--heights");
  addRow(QString(), fit_, "--fit");
  addRow(tr("Save &in folder:"), outputDir_, nullptr, {outputBrowse_});

  auto* choices = new QGroupBox(tr("Export"));
  choices->setLayout(form);

  command_ = new QPlainTextEdit;
  command_->setReadOnly(true);
  command_->setMaximumHeight(64);
  command_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  copy_ = new QPushButton(tr("Cop&y command"));
  problem_ = new QLabel;
  problem_->setWordWrap(true);
  problem_->setStyleSheet("color: #b00000");
  auto* commandLabel = new QLabel(tr("The same as the command:"));
  overall_ = new QProgressBar;
  overall_->setRange(0, 1000);
  overall_->setValue(0);
  overall_->setFormat(tr("%p% of all files"));
  export_ = new QPushButton(tr("E&xport"));
  export_->setDefault(true);
  export_->setShortcut(QKeySequence(tr("Ctrl+Return")));
  cancelButton_ = new QPushButton(tr("Cancel"));
  cancelButton_->setShortcut(QKeySequence(Qt::Key_Escape));
  cancelButton_->setEnabled(false);
  openFolder_ = new QPushButton(tr("Open folder"));
  openFolder_->setShortcut(QKeySequence(tr("Ctrl+Shift+O")));
  openFolder_->setToolTip(tr("Shows the outputs in the file manager (Ctrl+Shift+O)"));

  auto* commandRow = new QHBoxLayout;
  commandRow->addWidget(command_, 1);
  commandRow->addWidget(copy_, 0, Qt::AlignTop);
  auto* runRow = new QHBoxLayout;
  runRow->addWidget(overall_, 1);
  runRow->addWidget(export_);
  runRow->addWidget(cancelButton_);
  runRow->addWidget(openFolder_);

  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addWidget(choices);
  rightLayout->addStretch();

  auto* top = new QSplitter(Qt::Horizontal);
  top->addWidget(preview_);
  top->addWidget(right);
  top->setStretchFactor(0, 3);
  top->setStretchFactor(1, 2);
  top->setSizes({640, 440});

  auto* filesBox = new QWidget;
  auto* filesLayout = new QVBoxLayout(filesBox);
  filesLayout->setContentsMargins(0, 0, 0, 0);
  filesLayout->addLayout(fileButtons);
  filesLayout->addWidget(list_);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(filesBox);
  split->addWidget(top);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(split, 1);
  layout->addWidget(commandLabel);
  layout->addLayout(commandRow);
  layout->addWidget(problem_);
  layout->addLayout(runRow);

  // Tab goes through the window from the top down.
  setTabOrder(list_, add_);
  setTabOrder(add_, remove_);
  setTabOrder(remove_, clear_);
  setTabOrder(clear_, preview_);
  setTabOrder(preview_, target_);

  previewTimer_ = new QTimer(this);
  previewTimer_->setSingleShot(true);
  previewTimer_->setInterval(250);
  connect(previewTimer_, &QTimer::timeout, this, &ExportWindow::UpdatePreview);

  connect(add_, &QPushButton::clicked, this, [this] {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("Add survey files"), QSettings().value("lastFolder").toString(),
        tr("Survey files (*.DAT *.dat *.NEH *.neh *.SEC *.sec *.STN *.stn *.CHG *.chg *.PTS "
           "*.pts *.SOL *.sol);;All files (*)"));
    if (!files.isEmpty())
      QSettings().setValue("lastFolder", QFileInfo(files.front()).absolutePath());
    AddFiles(files);
  });
  connect(remove_, &QPushButton::clicked, this, &ExportWindow::RemoveSelected);
  connect(clear_, &QPushButton::clicked, this, &ExportWindow::ClearList);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] { previewTimer_->start(0); });
  connect(referenceBrowse_, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, tr("Reference NEH file"),
                                                   QFileInfo(reference_->text()).absolutePath(),
                                                   tr("NEH files (*.NEH *.neh);;All files (*)"));
    if (!f.isEmpty()) reference_->setText(f);
  });
  connect(outputBrowse_, &QPushButton::clicked, this, [this] {
    const QString d =
        QFileDialog::getExistingDirectory(this, tr("Save in folder"), outputDir_->text());
    if (!d.isEmpty()) outputDir_->setText(d);
  });
  connect(copy_, &QPushButton::clicked, this,
          [this] { QGuiApplication::clipboard()->setText(CommandText()); });
  connect(export_, &QPushButton::clicked, this, &ExportWindow::StartExport);
  connect(cancelButton_, &QPushButton::clicked, this, &ExportWindow::CancelExport);
  connect(openFolder_, &QPushButton::clicked, this, [this] {
    const QString dir = outputDir_->text();
    if (QFileInfo(dir).isDir())
      QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(dir).absoluteFilePath()));
  });

  auto changed = [this] { ChoicesChanged(); };
  for (QComboBox* c : {target_, nehAs_, datumShift_, paper_})
    connect(c, &QComboBox::currentIndexChanged, this, changed);
  for (QComboBox* c : {crs_, from_, to_}) connect(c, &QComboBox::currentTextChanged, this, changed);
  for (QLineEdit* e : {reference_, scale_, view_, horizontal_, vertical_, outputDir_})
    connect(e, &QLineEdit::textChanged, this, changed);
  connect(viewFromPreview_, &QPushButton::clicked, this, [this] {
    // The part of the survey the preview shows, to whole centimetres.
    const QRectF g = preview_->ShownGround();
    if (g.isEmpty()) {
      QToolTip::showText(viewFromPreview_->mapToGlobal(QPoint(0, viewFromPreview_->height())),
                         tr("Select an NEH file and wait for its sheet in the preview: the "
                            "window is taken from what the preview shows."),
                         viewFromPreview_);
      return;
    }
    auto cm = [](double v) { return QString::number(std::round(v * 100) / 100, 'f', 2); };
    view_->setText(
        QString("%1,%2,%3,%4").arg(cm(g.left()), cm(g.top()), cm(g.right()), cm(g.bottom())));
  });
  for (QCheckBox* b : {numbers_, levels_, flat_, wgs84_, portrait_, heights_, fit_})
    connect(b, &QCheckBox::toggled, this, changed);
  resize(1100, 760);
}

std::vector<ListedFile> ExportWindow::Listed() const {
  std::vector<ListedFile> files;
  for (const Row& r : rows_) {
    ListedFile f;
    f.path = r.path;
    f.known = SurveyKindOfPath(r.path, &f.kind);
    files.push_back(f);
  }
  return files;
}

ExportChoices ExportWindow::Choices() const {
  ExportChoices c;
  c.target = static_cast<Target>(std::max(0, target_->currentIndex()));
  c.neHAsTable = nehAs_->currentIndex() == 1;
  c.reference = reference_->text().trimmed().toStdString();
  c.numbers = numbers_->isChecked();
  c.levels = levels_->isChecked();
  c.crs = CrsValue(crs_->currentText());
  c.suiteDatumShift = datumShift_->currentIndex() == 1;
  c.flat = flat_->isChecked();
  c.wgs84 = wgs84_->isChecked();
  c.scale = scale_->text().trimmed().toStdString();
  if (paper_->currentIndex() > 0) c.paper = paper_->currentText().toStdString();
  c.portrait = portrait_->isChecked();
  c.view = view_->text().trimmed().toStdString();
  c.from = from_->currentText().trimmed().toStdString();
  c.to = to_->currentText().trimmed().toStdString();
  c.horizontal = horizontal_->text().trimmed().toStdString();
  c.vertical = vertical_->text().trimmed().toStdString();
  c.heights = heights_->isChecked();
  c.fit = fit_->isChecked();
  c.outputDir = outputDir_->text().trimmed().toStdString();
  return c;
}

BuiltExport ExportWindow::Built() const { return BuildExport(Choices(), Listed()); }

QString ExportWindow::CommandText() const {
  QStringList lines;
  for (const BuiltCommand& b : Built().commands)
    lines << QString::fromStdString(ShellCommand(b.words));
  return lines.join('\n');
}

void ExportWindow::ShowOptions() {
  const ExportChoices c = Choices();
  const std::vector<ListedFile> files = Listed();
  // An option shows when a command of this target for a listed file takes it; with no
  // file listed, when any command of the target does.
  std::vector<Command> commands;
  for (const ListedFile& f : files) {
    Command command;
    if (CommandFor(c, f, &command)) commands.push_back(command);
  }
  if (files.empty()) {
    for (Command command : {Command::Plan, Command::Table, Command::Sections})
      if (CommandWrites(command, TargetFormat(c.target))) commands.push_back(command);
  }
  for (const OptionRow& r : optionRows_) {
    bool shown = false;
    for (Command command : commands) shown = shown || OptionShown(c, command, r.option);
    if (r.label) r.label->setVisible(shown);
    for (QWidget* w : r.fields) w->setVisible(shown);
  }
  // Plan or table: only where both commands write the target (CSV, GeoPackage) and an NEH
  // file is listed or might be.
  const Format f = TargetFormat(c.target);
  bool neh = files.empty();
  for (const ListedFile& l : files) neh = neh || (l.known && l.kind == toolkit::SurveyKind::Neh);
  const bool both = CommandWrites(Command::Plan, f) && CommandWrites(Command::Table, f) && neh;
  nehAsRow_->setVisible(both);
  if (QWidget* label =
          qobject_cast<QFormLayout*>(nehAsRow_->parentWidget()->layout())->labelForField(nehAsRow_))
    label->setVisible(both);
}

void ExportWindow::ChoicesChanged() {
  if (loading_) return;
  ShowOptions();
  const BuiltExport built = Built();
  QStringList lines, problems;
  for (const BuiltCommand& b : built.commands) {
    lines << QString::fromStdString(ShellCommand(b.words));
    if (!b.refused.empty()) problems << QString::fromStdString("surveyexport: " + b.refused);
  }
  command_->setPlainText(lines.join('\n'));
  problem_->setText(problems.join('\n'));
  bool runnable = false;
  for (const BuiltCommand& b : built.commands) runnable = runnable || b.refused.empty();
  export_->setEnabled(!exporting_ && runnable);
  copy_->setEnabled(!lines.isEmpty());
  if (!exporting_) SaveSettings();
  previewTimer_->start();
}

int ExportWindow::RowOf(const QTreeWidgetItem* item) const {
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (rows_[i].item == item) return i;
  return -1;
}

void ExportWindow::AddFiles(const QStringList& paths) {
  if (exporting_) return;
  for (const QString& given : paths) {
    if (given.isEmpty()) continue;
    const QString path = QFileInfo(given).absoluteFilePath();
    const std::string p = path.toStdString();
    bool listed = false;
    for (const Row& r : rows_) listed = listed || r.path == p;
    if (listed) continue;
    Row row;
    row.path = p;
    row.item = new QTreeWidgetItem(list_);
    row.item->setText(kColFile, QFileInfo(path).fileName());
    row.item->setToolTip(kColFile, path);
    row.item->setText(kColKind, tr("reading…"));
    row.bar = new QProgressBar;
    row.bar->setRange(0, 1000);
    row.bar->setValue(0);
    row.bar->setTextVisible(false);
    row.bar->setMaximumHeight(14);
    list_->setItemWidget(row.item, kColProgress, row.bar);
    rows_.push_back(row);
    if (outputDir_->text().isEmpty()) outputDir_->setText(QFileInfo(path).absolutePath());
    // The facts are read on a thread of their own: a large file keeps the window free.
    ++reading_;
    QPointer<ExportWindow> self(this);
    readers_->start([this, path, p] {
      bool stopped = false;
      SurveyFileFacts facts = ReadSurveyFileFacts(
          p, [this] { return !closing_.load(); }, &stopped);
      if (stopped) return;
      QMetaObject::invokeMethod(
          this, [this, path, facts] { FactsRead(path, facts); }, Qt::QueuedConnection);
    });
  }
  for (int c = 0; c < kColProgress; ++c) list_->resizeColumnToContents(c);
  if (!list_->currentItem() && list_->topLevelItemCount() > 0)
    list_->setCurrentItem(list_->topLevelItem(0));
  ChoicesChanged();
}

void ExportWindow::FactsRead(const QString& path, const SurveyFileFacts& facts) {
  --reading_;
  for (Row& r : rows_) {
    if (r.path != path.toStdString() || r.read) continue;
    r.facts = facts;
    r.read = true;
    QTreeWidgetItem* it = r.item;
    it->setText(kColKind, facts.known ? tr(KindTitle(facts.kind)) : tr("not a survey file"));
    it->setText(kColRecords, facts.known ? QString::number(facts.records) : QString());
    for (int c : {kColRecords, kColEMin, kColEMax, kColNMin, kColNMax})
      it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    if (facts.haveExtent) {
      it->setText(kColEMin, Number(facts.minE));
      it->setText(kColEMax, Number(facts.maxE));
      it->setText(kColNMin, Number(facts.minN));
      it->setText(kColNMax, Number(facts.maxN));
    }
    if (!facts.problem.empty()) ShowResult(RowOf(it), QString::fromStdString(facts.problem), true);
    if (facts.kind == toolkit::SurveyKind::Sec && facts.known) {
      // The section names offered for the range.
      // Every section of the first SEC file until a range is chosen.
      if (from_->currentText().isEmpty() && !facts.sections.empty()) {
        from_->setCurrentText(QString::fromStdString(facts.sections.front()));
        to_->setCurrentText(QString::fromStdString(facts.sections.back()));
      }
      for (QComboBox* box : {from_, to_}) {
        const QString text = box->currentText();
        for (const std::string& name : facts.sections) {
          if (box->count() > 2000) break;
          if (box->findText(QString::fromStdString(name)) < 0)
            box->addItem(QString::fromStdString(name));
        }
        box->setCurrentText(text);
      }
    }
  }
  for (int c = 0; c < kColProgress; ++c) list_->resizeColumnToContents(c);
}

void ExportWindow::ShowResult(int row, const QString& text, bool failed) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  QTreeWidgetItem* it = rows_[row].item;
  it->setText(kColResult, text);
  it->setToolTip(kColResult, text);
  it->setForeground(kColResult,
                    failed ? QBrush(QColor(0xb0, 0, 0)) : palette().brush(QPalette::Text));
}

void ExportWindow::RemoveSelected() {
  if (exporting_) return;
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  for (QTreeWidgetItem* item : selected) {
    const int row = RowOf(item);
    if (row < 0) continue;
    rows_.erase(rows_.begin() + row);
    delete item;
  }
  ChoicesChanged();
}

void ExportWindow::ClearList() {
  if (exporting_) return;
  rows_.clear();
  list_->clear();
  from_->clear();
  to_->clear();
  ChoicesChanged();
}

void ExportWindow::UpdatePreview() {
  const int row = RowOf(list_->currentItem());
  const ExportChoices c = Choices();
  const ListedFile f = row < 0 ? ListedFile() : Listed()[row];
  // What the drawing depends on: the same again is not read again.
  const std::string key = f.path + '\n' + c.reference + '\n' + (c.numbers ? "n" : "") +
                          (c.levels ? "l" : "") + (c.heights ? "h" : "") + '\n' + c.from + '\n' +
                          c.to + '\n' + c.horizontal + '\n' + c.vertical + '\n' +
                          std::to_string(static_cast<int>(c.target)) + c.scale + c.paper +
                          (c.portrait ? "p" : "") + '\n' + c.view;
  if (key == previewKey_) return;
  previewKey_ = key;
  if (row < 0) {
    preview_->SetScene(nullptr);
    return;
  }
  const bool plan = f.known && f.kind == toolkit::SurveyKind::Neh;
  const bool sec = f.known && f.kind == toolkit::SurveyKind::Sec;
  if (plan && TargetIsSheet(c.target)) {
    // The sheet itself, as the drawing will print.
    PlanSheetOptions sheet;
    sheet.neh = f.path;
    sheet.reference = c.reference;
    sheet.numbers = c.numbers;
    sheet.levels = c.levels;
    if (const auto scale = ParseScale(c.scale)) sheet.scale = *scale;
    if (!c.paper.empty()) sheet.paper = c.paper;
    sheet.portrait = c.portrait;
    if (const auto view = ParseView(c.view)) {
      sheet.haveView = true;
      sheet.viewE1 = (*view)[0];
      sheet.viewN1 = (*view)[1];
      sheet.viewE2 = (*view)[2];
      sheet.viewN2 = (*view)[3];
    }
    preview_->SetScene(SheetScene(sheet));
  } else if (plan) {
    const bool labels = OptionShown(c, Command::Plan, "--numbers");
    preview_->SetScene(PlanScene(f.path, c.reference, labels && c.numbers, labels && c.levels));
  } else if (sec) {
    const auto h = ParseScale(c.horizontal), v = ParseScale(c.vertical);
    preview_->SetScene(SectionsScene(f.path, c.from, c.to, h ? *h : 0, v ? *v : 0, c.heights));
  } else {
    preview_->SetScene(nullptr);
    preview_->SetIdleText(f.known ? tr("%1 has no drawing: its records are exported as a table.")
                                        .arg(QString::fromStdString(
                                            std::filesystem::path(f.path).filename().string()))
                                  : tr("Not a survey file."));
    return;
  }
  preview_->SetIdleText(tr("Select a file to preview it"));
}

// ---- The export ---------------------------------------------------------------------

void ExportWindow::StartExport() {
  if (exporting_ || rows_.empty()) return;
  ExportChoices c = Choices();
  std::vector<ListedFile> files = Listed();
  BuiltExport built = BuildExport(c, files);
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    ShowResult(r, QString(), false);
    rows_[r].bar->setValue(0);
  }

  // An existing output is replaced only when the surveyor says so.
  QStringList existing;
  for (const BuiltCommand& b : built.commands) {
    if (!b.refused.empty()) continue;
    for (const std::string& out : ExpectedOutputs(b, c, files))
      if (std::filesystem::exists(out)) existing << QString::fromStdString(out);
  }
  bool keepExisting = false;
  if (!existing.isEmpty()) {
    QMessageBox box(QMessageBox::Question, tr("Survey Export"),
                    tr("%n output(s) exist already:", "", existing.size()) + "\n" +
                        existing.mid(0, 8).join('\n') + (existing.size() > 8 ? "\n…" : "") +
                        "\n\n" + tr("Replace them?"),
                    QMessageBox::NoButton, this);
    QPushButton* replace = box.addButton(tr("&Replace"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(tr("&Keep them, export the others"), QMessageBox::NoRole);
    QPushButton* stop = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(stop);
    box.exec();
    if (box.clickedButton() != replace && box.clickedButton() != keep) return;
    if (box.clickedButton() == replace) {
      c.overwrite = true;
      built = BuildExport(c, files);
    } else {
      keepExisting = true;
    }
  }

  std::vector<std::pair<std::vector<std::string>, std::vector<int>>> jobs;
  for (const auto& [row, line] : built.skipped) ShowResult(row, QString::fromStdString(line), true);
  for (const BuiltCommand& b : built.commands) {
    if (!b.refused.empty()) {
      for (int row : b.rows) ShowResult(row, QString::fromStdString(b.refused), true);
      continue;
    }
    if (keepExisting) {
      bool exists = false;
      for (const std::string& out : ExpectedOutputs(b, c, files))
        exists = exists || std::filesystem::exists(out);
      if (b.command == Command::Sections && exists) {
        for (int row : b.rows) ShowResult(row, tr("kept: the drawing exists already"), false);
        continue;
      }
    }
    if (b.command == Command::Sections) {
      jobs.push_back({b.words, b.rows});
      continue;
    }
    for (std::size_t k = 0; k < b.rows.size(); ++k) {
      const int row = b.rows[k];
      const std::string out = OutputPathFor(files[row].path, c.outputDir, TargetFormat(c.target));
      if (keepExisting && std::filesystem::exists(out)) {
        ShowResult(row, tr("kept: %1 exists already").arg(QString::fromStdString(out)), false);
        continue;
      }
      jobs.push_back({b.perRow[k], {row}});
    }
  }
  if (jobs.empty()) {
    emit ExportFinished();  // every file said why it was not written
    return;
  }
  RunJobs(std::move(jobs));
}

void ExportWindow::RunJobs(
    std::vector<std::pair<std::vector<std::string>, std::vector<int>>> jobs) {
  if (worker_.joinable()) worker_.join();
  cancel_ = false;
  jobsTotal_ = static_cast<int>(jobs.size());
  jobsDone_ = 0;
  exportRows_.clear();
  for (const auto& j : jobs)
    exportRows_.insert(exportRows_.end(), j.second.begin(), j.second.end());
  overall_->setValue(0);
  SetExporting(true);
  worker_ = std::thread([this, jobs = std::move(jobs)] {
    for (const auto& [words, rows] : jobs) {
      if (cancel_) {
        QMetaObject::invokeMethod(
            this, [this, rows = rows] { JobDone(rows, -1, QString(), QString()); },
            Qt::QueuedConnection);
        continue;
      }
      ExportOptions options;
      const std::string refused = ParseCommandLine(words, &options);
      std::ostringstream out, err;
      int code = kUsage;
      if (!refused.empty()) {
        err << "surveyexport: " << refused << "\n";
      } else {
        // Progress as it comes, at most a thousand steps; Cancel stops the export.
        int shown = -1;
        options.progress = [this, rows = rows, &shown](double done) {
          const int step = static_cast<int>(std::clamp(done, 0.0, 1.0) * 1000);
          if (step != shown) {
            shown = step;
            QMetaObject::invokeMethod(
                this, [this, rows, done] { JobProgress(rows, done); }, Qt::QueuedConnection);
          }
          return !cancel_.load();
        };
        code = RunExport(options, out, err);
      }
      const bool cancelled = cancel_.load() && code != kDone;
      QMetaObject::invokeMethod(
          this,
          [this, rows = rows, code, cancelled, o = QString::fromStdString(out.str()),
           e = QString::fromStdString(err.str())] { JobDone(rows, cancelled ? -1 : code, o, e); },
          Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(
        this, [this] { AllDone(); }, Qt::QueuedConnection);
  });
}

void ExportWindow::JobProgress(std::vector<int> rows, double done) {
  for (int row : rows)
    if (row < static_cast<int>(rows_.size()))
      rows_[row].bar->setValue(static_cast<int>(done * 1000));
  if (jobsTotal_ > 0)
    overall_->setValue(
        static_cast<int>((jobsDone_ + std::clamp(done, 0.0, 1.0)) * 1000 / jobsTotal_));
}

void ExportWindow::JobDone(std::vector<int> rows, int code, QString out, QString err) {
  ++jobsDone_;
  if (jobsTotal_ > 0) overall_->setValue(jobsDone_ * 1000 / jobsTotal_);
  for (int row : rows) {
    if (row >= static_cast<int>(rows_.size())) continue;
    if (code < 0) {
      rows_[row].bar->setValue(0);
      ShowResult(row, tr("cancelled: nothing written"), true);
      continue;
    }
    if (code == kDone) rows_[row].bar->setValue(1000);
    QString text =
        code == kDone ? out.trimmed().split('\n').join(QStringLiteral("; ")) : Unprefixed(err);
    // A note said beside a good export (part of the survey off the sheet) goes with it.
    if (code == kDone && !err.trimmed().isEmpty()) text += QStringLiteral("; ") + Unprefixed(err);
    ShowResult(row, text, code != kDone);
  }
}

void ExportWindow::AllDone() {
  if (worker_.joinable()) worker_.join();
  SetExporting(false);
  ChoicesChanged();
  emit ExportFinished();
}

void ExportWindow::CancelExport() {
  if (exporting_) cancel_ = true;
}

void ExportWindow::SetExporting(bool on) {
  exporting_ = on;
  cancelButton_->setEnabled(on);
  export_->setEnabled(!on);
  // Every choice holds still while the export runs, so that the window goes on saying
  // what was written.
  for (QWidget* w : std::initializer_list<QWidget*>{add_,
                                                    remove_,
                                                    clear_,
                                                    target_,
                                                    nehAs_,
                                                    reference_,
                                                    referenceBrowse_,
                                                    numbers_,
                                                    levels_,
                                                    crs_,
                                                    datumShift_,
                                                    flat_,
                                                    wgs84_,
                                                    scale_,
                                                    paper_,
                                                    portrait_,
                                                    view_,
                                                    viewFromPreview_,
                                                    from_,
                                                    to_,
                                                    horizontal_,
                                                    vertical_,
                                                    heights_,
                                                    fit_,
                                                    outputDir_,
                                                    outputBrowse_})
    w->setEnabled(!on);
  setAcceptDrops(!on);
}

// ---- Files from outside -------------------------------------------------------------

void ExportWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!exporting_ && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void ExportWindow::dropEvent(QDropEvent* e) {
  QStringList files;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  AddFiles(files);
  e->acceptProposedAction();
}

void ExportWindow::closeEvent(QCloseEvent* e) {
  if (exporting_) {
    // Closing stops the export; what it was writing is removed, not left half-written.
    cancel_ = true;
  }
  SaveSettings();
  e->accept();
}

// ---- The last choices ---------------------------------------------------------------

void ExportWindow::LoadSettings() {
  loading_ = true;
  QSettings s;
  target_->setCurrentIndex(std::clamp(s.value("target", 0).toInt(), 0, kTargetCount - 1));
  nehAs_->setCurrentIndex(s.value("nehAsTable", false).toBool() ? 1 : 0);
  numbers_->setChecked(s.value("numbers", false).toBool());
  levels_->setChecked(s.value("levels", false).toBool());
  crs_->setCurrentText(s.value("crs", crs_->itemText(0)).toString());
  datumShift_->setCurrentIndex(s.value("suiteDatumShift", false).toBool() ? 1 : 0);
  flat_->setChecked(s.value("flat", false).toBool());
  wgs84_->setChecked(s.value("wgs84", false).toBool());
  scale_->setText(s.value("scale").toString());
  paper_->setCurrentIndex(std::clamp(s.value("paper", 0).toInt(), 0, paper_->count() - 1));
  portrait_->setChecked(s.value("portrait", false).toBool());
  // The section plotter's usual scales until the surveyor picks others.
  horizontal_->setText(s.value("horizontal", "200").toString());
  vertical_->setText(s.value("vertical", "100").toString());
  heights_->setChecked(s.value("heights", false).toBool());
  fit_->setChecked(s.value("fit", false).toBool());
  outputDir_->setText(s.value("outputDir").toString());
  loading_ = false;
}

void ExportWindow::SaveSettings() const {
  if (loading_) return;
  QSettings s;
  s.setValue("target", target_->currentIndex());
  s.setValue("nehAsTable", nehAs_->currentIndex() == 1);
  s.setValue("numbers", numbers_->isChecked());
  s.setValue("levels", levels_->isChecked());
  s.setValue("crs", crs_->currentText());
  s.setValue("suiteDatumShift", datumShift_->currentIndex() == 1);
  s.setValue("flat", flat_->isChecked());
  s.setValue("wgs84", wgs84_->isChecked());
  s.setValue("scale", scale_->text());
  s.setValue("paper", paper_->currentIndex());
  s.setValue("portrait", portrait_->isChecked());
  s.setValue("horizontal", horizontal_->text());
  s.setValue("vertical", vertical_->text());
  s.setValue("heights", heights_->isChecked());
  s.setValue("fit", fit_->isChecked());
  s.setValue("outputDir", outputDir_->text());
}

}  // namespace surveyexport
