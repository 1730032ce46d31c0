// The viewer's main window and its Open, Margins and Font commands.
#include "viewer/main_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QGuiApplication>
#include <QScreen>
#include <QStringDecoder>
#include <QTextDocument>

#include "platform/dialog_units.h"
#include "platform/platform.h"
#include "viewer/document.h"
#include "viewer/page_image.h"
#include "viewer/page_layout.h"
#include "viewer/preview.h"
#include "viewer/viewer_art.h"

namespace viewer {

namespace {

const char* const kCaption = "QOVA File View";
constexpr int kEditTopDu = 20;

// Qt reads a filter's patterns as blank-separated; the viewer's filters separate them
// with ";" and mean by "*.*" every file. The dialog's file list gets those patterns.
void ApplyFilterPatterns(QFileDialog& dialog, const QString& filter) {
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (model == nullptr) return;
  const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
  const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
  if (open < 0 || close <= open) return;
  QStringList patterns = filter.mid(open + 1, close - open - 1)
                             .split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts);
  for (QString& p : patterns)
    if (p == QLatin1String("*.*")) p = QStringLiteral("*");
  model->setNameFilters(patterns);
}

}  // namespace

QStringList OpenFileFilters() {
  return {QStringLiteral("Vald files (*.NEH;*.SEC;*.DAT;*.STN;*.SOL)"),
          QStringLiteral("Text files (*.TXT;*.XYZ)"), QStringLiteral("All files (*.*)")};
}

QString DocumentToEditText(const std::string& text) {
  const std::size_t zero = text.find('\0');
  const std::string_view shown(text.data(), zero == std::string::npos ? text.size() : zero);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString s = utf8(QByteArrayView(shown.data(), static_cast<qsizetype>(shown.size())));
  if (utf8.hasError()) s = QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size()));
  return s;
}

QString EditTextToDocument(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 16);
  for (const QChar c : text) {
    if (c == QChar::ParagraphSeparator || c == QLatin1Char('\n')) {
      out += QLatin1String("\r\n");
    } else {
      out += c;
    }
  }
  return out;
}

std::string OpenDocument(QWidget* owner, ViewerState& state) {
  if (state.lastFolder.empty()) {
    state.lastFolder = QDir::toNativeSeparators(QDir::currentPath()).toStdString();
    if (state.lastFolder.back() != '/' && state.lastFolder.back() != '\\')
      state.lastFolder += QDir::separator().toLatin1();
  }
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(OpenFileFilters());
  dialog.setDirectory(QString::fromStdString(state.lastFolder));
  dialog.setDefaultSuffix(QStringLiteral("BAS"));
  ApplyFilterPatterns(dialog, OpenFileFilters().first());
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& f) { ApplyFilterPatterns(dialog, f); });
  if (dialog.exec() != QDialog::Accepted) return std::string();
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::string();
  const QString path = QDir::toNativeSeparators(files.first());
  state.lastFolder = FolderOfPath(path.toStdString());
  // The caption names the chosen file even when it cannot be loaded.
  if (owner) owner->setWindowTitle(QLatin1String(kCaption) + QStringLiteral(" - ") + path);
  const LoadResult r = LoadSurveyFile(QFile::encodeName(path).toStdString());
  if (r.error != LoadError::None) {
    platform::ShowMessage(owner, QStringLiteral("Error"), QString::fromLatin1(MessageOf(r.error)));
    return std::string();
  }
  return r.text;
}

int EditMargins(QWidget* owner, PageSettings& s) {
  std::unique_ptr<QPrinter> printer = DefaultPrinter();
  if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  const int ms = s.measurementSystem;
  const QPageLayout::Unit unit = ms == 1 ? QPageLayout::Inch : QPageLayout::Millimeter;
  const double perUnit = ms == 1 ? 1000.0 : 100.0;  // thousandths of an inch, hundredths of a mm
  const auto toUnit = [&](float mm) { return MarginToDialog(mm, ms) / perUnit; };
  QPageLayout layout = printer->pageLayout();
  layout.setMode(QPageLayout::FullPageMode);  // no minimum margins
  layout.setUnits(unit);
  layout.setMargins(QMarginsF(toUnit(s.leftMargin), toUnit(s.topMargin), toUnit(s.rightMargin),
                              toUnit(s.bottomMargin)));
  printer->setPageLayout(layout);

  QPageSetupDialog dialog(printer.get(), owner);
  // Only the four margins can be changed: paper, source, orientation, units and the
  // printer's own options stay as they are.
  const QStringList fixed = {QStringLiteral("pageSizeCombo"),
                             QStringLiteral("paperSource"),
                             QStringLiteral("portrait"),
                             QStringLiteral("landscape"),
                             QStringLiteral("reverseLandscape"),
                             QStringLiteral("reversePortrait"),
                             QStringLiteral("unitCombo"),
                             QStringLiteral("pageWidth"),
                             QStringLiteral("pageHeight"),
                             QStringLiteral("pagesPerSheetCombo"),
                             QStringLiteral("pagesPerSheetLayoutCombo"),
                             QStringLiteral("orientationGroup"),
                             QStringLiteral("paperGroup")};
  for (QWidget* w : dialog.findChildren<QWidget*>())
    if (fixed.contains(w->objectName())) w->setEnabled(false);
  if (dialog.exec() != QDialog::Accepted) return 0;
  const QMarginsF m = printer->pageLayout().margins(unit);
  const auto back = [&](double v) { return MarginFromDialog(RoundEven(v * perUnit), ms); };
  s.leftMargin = back(m.left());
  s.topMargin = back(m.top());
  s.rightMargin = back(m.right());
  s.bottomMargin = back(m.bottom());
  return 1;
}

int ChooseViewerFont(QWidget* owner, QFont& newFont, PageSettings& s) {
  // The dialog lists real families: "Courier New" is offered as the font it resolves to.
  QFont initial = SettingsFont(s);
  initial.setFamily(QFontInfo(initial).family());
  QFontDialog dialog(initial, owner);
  dialog.setOption(QFontDialog::DontUseNativeDialog, true);
  // No effects: underline and strike-out are not offered.
  for (QGroupBox* g : dialog.findChildren<QGroupBox*>())
    if (g->title().remove(QLatin1Char('&')).contains(QLatin1String("Effects"), Qt::CaseInsensitive))
      g->hide();
  for (QCheckBox* c : dialog.findChildren<QCheckBox*>()) c->hide();
  if (dialog.exec() != QDialog::Accepted) return 0;
  QFont f = dialog.selectedFont();
  if (f.family().isEmpty()) return 0;
  f.setUnderline(false);
  f.setStrikeOut(false);
  StoreSettingsFont(s, f);
  newFont = SettingsFont(s);
  return 1;
}

MainWindow::MainWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QLatin1String(kCaption));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  setSizeGripEnabled(false);

  InitPageSettings(state_.settings);

  const auto button = [this](const QString& caption, const char* name, int xDu) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(platform::DuToPxX(xDu), platform::DuToPxY(3), platform::DuToPxX(50),
                   platform::DuToPxY(14));
    return b;
  };
  open_ = button(QStringLiteral("&Open"), "button120", 2);
  preview_ = button(QStringLiteral("&Preview"), "button121", 52);
  margins_ = button(QStringLiteral("&Margins"), "button122", 106);
  font_ = button(QStringLiteral("&Font"), "button123", 156);
  exit_ = button(QStringLiteral("E&xit"), "button2", 210);

  edit_ = new QPlainTextEdit(this);
  edit_->setObjectName(QStringLiteral("edit131"));
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  edit_->setReadOnly(false);
  edit_->setMaximumBlockCount(0);  // no limit of the viewer's own
  edit_->setGeometry(0, platform::DuToPxY(kEditTopDu), platform::DuToPxX(201),
                     platform::DuToPxY(101));
  state_.editFont = QFont(QStringLiteral("Courier New"), 10);
  edit_->setFont(state_.editFont);

  connect(open_, &QPushButton::clicked, this, &MainWindow::openCommand);
  connect(preview_, &QPushButton::clicked, this, &MainWindow::previewCommand);
  connect(margins_, &QPushButton::clicked, this, &MainWindow::marginsCommand);
  connect(font_, &QPushButton::clicked, this, &MainWindow::fontCommand);
  connect(exit_, &QPushButton::clicked, this, &QDialog::reject);

  // 380 x 240 dialog units, centred on the screen.
  const int w = platform::DuToPxX(380);
  const int h = platform::DuToPxY(240);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  setGeometry(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (isMinimized()) return;
  const int top = platform::DuToPxY(kEditTopDu);
  edit_->setGeometry(0, top, width(), std::max(height() - top, 0));
}

QString MainWindow::documentText() const {
  return EditTextToDocument(edit_->document()->toRawText());
}

void MainWindow::setDocumentText(const std::string& text) {
  edit_->setPlainText(DocumentToEditText(text));
}

void MainWindow::openCommand() {
  const std::string text = OpenDocument(this, state_);
  if (!text.empty()) setDocumentText(text);
}

void MainWindow::previewCommand() {
  ShowPreview(this, windowTitle(), documentText(), state_.settings);
}

void MainWindow::marginsCommand() { EditMargins(this, state_.settings); }

void MainWindow::fontCommand() {
  QFont f;
  if (ChooseViewerFont(this, f, state_.settings) == 1) {
    state_.editFont = f;
    edit_->setFont(state_.editFont);
  }
}

}  // namespace viewer
