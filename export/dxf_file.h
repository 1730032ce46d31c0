#pragma once
// A plain AutoCAD R12 (AC1009) drawing, written group by group as it is drawn: the framing,
// the line type and layer tables and the number texts that the plan and the section
// exports share. What each drawing holds is its exporter's.
#include <string>
#include <vector>

#include "export/checked_file.h"

namespace surveyexport {

class DxfFile {
 public:
  // How numbers are written: Exact, the shortest text that reads back as the same double;
  // SixDecimals, six digits after the point.
  enum class Numbers { Exact, SixDecimals };
  explicit DxfFile(Numbers numbers) : numbers_(numbers) {}
  DxfFile(const DxfFile&) = delete;
  DxfFile& operator=(const DxfFile&) = delete;
  ~DxfFile();

  bool Open(const std::string& path);          // false when the file cannot be made
  bool Good() const;                           // open, and no write has failed
  bool Close();                                // false when anything failed, the closing included
  int Error() const { return file_.Error(); }  // the error number of the first failure

  // One group: its code, then its value, each on a line of its own.
  void Pair(int code, const std::string& value);
  void Pair(int code, const char* value);
  void Pair(int code, int value);
  void Pair(int code, double value);
  std::string Number(double value) const;

  // A point of the header known only once the drawing is written (its extents): the
  // variable with its place kept, then filled in.
  std::size_t HeaderPoint(const char* name);
  void FillHeaderPoint(std::size_t place, double x, double y);

  void BeginSection(const char* name);
  void EndSection();
  void BeginTable(const char* name, int entries);
  void EndTable();
  // A line type: its elements as a DXF gives them (a dash > 0, a gap < 0, a dot 0) in
  // drawing units, and the length of the whole pattern.
  void LineType(const std::string& name, const std::string& look,
                const std::vector<double>& elements, double length);
  void Layer(const std::string& name, int colour, const std::string& lineType);

 private:
  Numbers numbers_;
  CheckedFile file_;
};

}  // namespace surveyexport
