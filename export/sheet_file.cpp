// The PDF and SVG devices of the drawings at scale, writing into a file of our own.
#include "export/sheet_file.h"

#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace surveyexport {

bool CheckedDevice::Create(const std::string& path) {
  if (!file_.Open(path)) return false;
  return open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 CheckedDevice::writeData(const char* data, qint64 size) {
  constexpr std::size_t kHead = 16384, kTail = 1024;
  const auto n = static_cast<std::size_t>(size);
  if (head_.size() < kHead) head_.append(data, std::min(n, kHead - head_.size()));
  tail_.append(data, n);
  if (tail_.size() > kTail) tail_.erase(0, tail_.size() - kTail);
  written_ += size;
  file_.Write(data, n);
  return file_.Good() ? size : -1;
}

int CheckedDevice::Finish() {
  if (isOpen()) close();
  return file_.Close();
}

SheetFile::SheetFile() = default;

SheetFile::~SheetFile() { Abandon(); }

QString SheetText(QString text) {
  for (QChar& c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.unicode() >= 0xFFFE) c = QLatin1Char('?');
  return text;
}

std::string SheetFile::Begin(Format format, const std::string& path, const std::string& target,
                             const SheetPage& page) {
  Abandon();
  target_ = target;
  if (!file_.Create(path)) return Failure();
  if (format == Format::Pdf) {
    pdf_ = std::make_unique<QPdfWriter>(&file_);
    pdf_->setResolution(1200);
    pdf_->setCreator("surveyexport");
    pdf_->setTitle(page.title);
    pdf_->setPageLayout(page.layout);
    perMm_ = 1200 / 25.4;
    if (!painter_.begin(pdf_.get())) return Failure();
  } else {
    svg_ = std::make_unique<QSvgGenerator>();
    svg_->setOutputDevice(&file_);
    perMm_ = 10;
    svg_->setResolution(254);
    svg_->setSize(
        QSize(int(std::lround(page.widthMm * perMm_)), int(std::lround(page.heightMm * perMm_))));
    svg_->setViewBox(QRectF(0, 0, page.widthMm * perMm_, page.heightMm * perMm_));
    // Qt writes the title into the SVG as it is: its markup is escaped here.
    svg_->setTitle(SheetText(page.title).toHtmlEscaped());
    if (!page.description.isEmpty()) svg_->setDescription(page.description.toHtmlEscaped());
    if (!painter_.begin(svg_.get())) return Failure();
  }
  return Check();
}

std::string SheetFile::NewPage(const SheetPage& page) {
  if (!pdf_) return Failure();
  pdf_->setPageLayout(page.layout);
  if (!pdf_->newPage()) return Failure();
  return Check();
}

std::string SheetFile::Check() const { return file_.Error() == 0 ? std::string() : Failure(); }

std::string SheetFile::End() {
  const bool ended = !painter_.isActive() || painter_.end();
  // The writers write their last bytes (the PDF's cross-reference table) as they end.
  const bool pdf = pdf_ != nullptr;
  pdf_.reset();
  svg_.reset();
  if (pdf && ended && file_.Error() == 0) AskActualSize();
  const int error = file_.Finish();
  return ended && error == 0 ? std::string() : Failure();
}

void SheetFile::Abandon() {
  if (painter_.isActive()) painter_.end();
  pdf_.reset();
  svg_.reset();
  file_.Finish();
}

namespace {

// The number after the last `key` in `text` ("startxref\n12158" gives 12158); -1 if none.
std::int64_t NumberAfter(const std::string& text, const std::string& key) {
  const std::size_t at = text.rfind(key);
  if (at == std::string::npos) return -1;
  std::size_t i = at + key.size();
  while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r')) ++i;
  std::int64_t n = -1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    n = (n < 0 ? 0 : n * 10) + (text[i] - '0');
  return n;
}

}  // namespace

void SheetFile::AskActualSize() {
  // The catalog as Qt writes it: "N 0 obj\n<<\n/Type /Catalog\n/Pages M 0 R\n>>".
  const std::string& head = file_.Head();
  const std::size_t type = head.find("/Type /Catalog");
  const std::size_t open = head.rfind("<<", type);
  const std::size_t obj = head.rfind(" 0 obj", open);
  const std::int64_t xref = NumberAfter(file_.Tail(), "startxref");
  const std::int64_t size = NumberAfter(file_.Tail(), "/Size");
  const std::int64_t info = NumberAfter(file_.Tail(), "/Info");
  if (type == std::string::npos || open == std::string::npos || obj == std::string::npos ||
      xref < 0 || size < 0)
    return;  // not laid out as expected: the sheet stays as written
  std::size_t numberStart = obj;
  while (numberStart > 0 && head[numberStart - 1] >= '0' && head[numberStart - 1] <= '9')
    --numberStart;
  const std::string number = head.substr(numberStart, obj - numberStart);
  // The dictionary's entries up to its closing ">>", nested dictionaries included.
  int depth = 0;
  std::size_t close = std::string::npos;
  for (std::size_t i = open; i + 1 < head.size(); ++i) {
    if (head.compare(i, 2, "<<") == 0)
      ++depth, ++i;
    else if (head.compare(i, 2, ">>") == 0 && --depth == 0) {
      close = i;
      break;
    } else if (head.compare(i, 2, ">>") == 0) {
      ++i;
    }
  }
  if (number.empty() || close == std::string::npos) return;
  const std::string entries = head.substr(open + 2, close - open - 2);
  const std::int64_t at = file_.Written();
  std::string update = number + " 0 obj\n<<" + entries +
                       "/ViewerPreferences << /PrintScaling /None >>\n>>\nendobj\n";
  char offset[32];
  std::snprintf(offset, sizeof offset, "%010lld", static_cast<long long>(at));
  const std::int64_t xrefAt = at + static_cast<std::int64_t>(update.size());
  update += "xref\n0 1\n0000000000 65535 f \n" + number + " 1\n" + offset + " 00000 n \n";
  update += "trailer\n<<\n/Size " + std::to_string(size) + "\n/Root " + number + " 0 R\n";
  if (info >= 0) update += "/Info " + std::to_string(info) + " 0 R\n";
  update +=
      "/Prev " + std::to_string(xref) + "\n>>\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
  file_.write(update.data(), static_cast<qint64>(update.size()));
}

std::string SheetFile::Failure() const { return CannotWrite(target_, file_.Error()); }

}  // namespace surveyexport
