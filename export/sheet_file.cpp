// The PDF and SVG devices of the drawings at scale, writing into a file of our own.
#include "export/sheet_file.h"

#include <QPdfWriter>
#include <QSvgGenerator>

#include <cmath>

namespace surveyexport {

bool CheckedDevice::Create(const std::string& path) {
  if (!file_.Open(path)) return false;
  return open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 CheckedDevice::writeData(const char* data, qint64 size) {
  file_.Write(data, static_cast<std::size_t>(size));
  return file_.Good() ? size : -1;
}

int CheckedDevice::Finish() {
  if (isOpen()) close();
  return file_.Close();
}

SheetFile::SheetFile() = default;

SheetFile::~SheetFile() { Abandon(); }

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
    svg_->setSize(QSize(int(std::lround(page.widthMm * perMm_)),
                        int(std::lround(page.heightMm * perMm_))));
    svg_->setViewBox(QRectF(0, 0, page.widthMm * perMm_, page.heightMm * perMm_));
    svg_->setTitle(page.title);
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
  pdf_.reset();
  svg_.reset();
  const int error = file_.Finish();
  return ended && error == 0 ? std::string() : Failure();
}

void SheetFile::Abandon() {
  if (painter_.isActive()) painter_.end();
  pdf_.reset();
  svg_.reset();
  file_.Finish();
}

std::string SheetFile::Failure() const {
  return CannotWrite(target_, file_.Error());
}

}  // namespace surveyexport
