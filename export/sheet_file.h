#pragma once
// A drawing on paper written into a file the program owns: Qt's PDF writer (one page after
// the other) or its SVG generator (one page a file) paints into a device of ours whose
// writes are checked (CheckedFile) and whose first failure stays, looked at after every
// page and after the close, so that a write that fails (a full disk) fails the drawing
// instead of leaving a short file or empty pages. (QFile forgets a failed write at the next
// one, and Qt's writers do not look at their writes.) The plan sheet and the section
// sheets set their devices up through it alike.
#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

#include "export/checked_file.h"
#include "export/export_common.h"

class QPdfWriter;
class QSvgGenerator;

namespace surveyexport {

// A text as a sheet holds it: a control character or a noncharacter (a file or section
// name may hold one) as "?", as it has no glyph and an SVG may not hold it at all.
QString SheetText(QString text);

// One page: the sheet in millimetres (landscape or portrait as laid), and the title kept
// in the file.
struct SheetPage {
  QPageLayout layout;
  double widthMm = 0, heightMm = 0;
  QString title;
  QString description;  // SVG: what the file is, kept in it (empty: none)
};

// A write-only device over a CheckedFile.
class CheckedDevice : public QIODevice {
 public:
  bool Create(const std::string& path);
  // Writes what is buffered and closes: 0, or the error number of the first failure.
  int Finish();
  int Error() const { return file_.Error(); }
  // The first and the last bytes written, and how many in all (the PDF's catalog stands
  // near its start, its trailer at its end).
  const std::string& Head() const { return head_; }
  const std::string& Tail() const { return tail_; }
  std::int64_t Written() const { return written_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override;

 private:
  CheckedFile file_;
  std::string head_, tail_;
  std::int64_t written_ = 0;
};

class SheetFile {
 public:
  SheetFile();
  ~SheetFile();
  SheetFile(const SheetFile&) = delete;
  SheetFile& operator=(const SheetFile&) = delete;

  // Starts the first page of `format` (PDF or SVG) in a new file at `path` (a pending
  // output's temporary name); `target` is the output's name for messages. Empty, or one
  // line. PDF is drawn at 1200 dots an inch, SVG at 254 (10 units a millimetre).
  std::string Begin(Format format, const std::string& path, const std::string& target,
                    const SheetPage& page);
  // Another page of a PDF. Empty, or one line when the file has failed so far.
  std::string NewPage(const SheetPage& page);
  QPainter& Painter() { return painter_; }
  double DotsPerMm() const { return perMm_; }
  // Empty while every write so far succeeded; otherwise one line naming the output.
  std::string Check() const;
  // Ends the painting and closes the file: empty when all of it was written, else one line.
  std::string End();
  // Stops without checking (a failed drawing, removed by its pending output).
  void Abandon();

 private:
  std::string Failure() const;
  // Appends to the finished PDF an update of its catalog asking viewers to print it at
  // actual size (/PrintScaling /None), so that a sheet drawn at 1:N prints at 1:N.
  void AskActualSize();
  CheckedDevice file_;
  std::string target_;
  std::unique_ptr<QPdfWriter> pdf_;
  std::unique_ptr<QSvgGenerator> svg_;
  QPainter painter_;
  double perMm_ = 0;
};

}  // namespace surveyexport
