#pragma once
// Point records of an NEH file read one at a time (no Qt): 24-byte records of northing,
// easting and packed height, little-endian doubles. Record r is 1-based; a record past
// the end of the file reads as zeros.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace planplot {

struct NehRecord {
  double northing = 0, easting = 0, packedHeight = 0;
};

class NehSource {
 public:
  virtual ~NehSource() = default;
  // Number of records: file length / 24, a real number.
  virtual double Count() const = 0;
  // Reads record r; false when it could not be read or is no longer in the file (it was
  // cut since it was opened): the pass then stops.
  virtual bool Read(std::int64_t r, NehRecord& out) = 0;
  // True after a Read that failed for a reason other than the file's end (a disk fault).
  virtual bool Failed() const { return false; }
  // The first record that Read found no longer in the file although it was there when the
  // file was opened (the file was cut meanwhile); 0 when none was.
  virtual std::int64_t MissingRecord() const { return 0; }
};

// Opens a file by its full name; nullptr when it cannot be opened.
using NehOpener = std::function<std::unique_ptr<NehSource>(const std::string& fullName)>;

// The NEH file of that full name through the suite's survey file reader.
std::unique_ptr<NehSource> OpenNehFile(const std::string& fullName);
// The records held in memory (the bytes of a file), for tests and fuzzing.
std::unique_ptr<NehSource> MemoryNehSource(std::string bytes);

}  // namespace planplot
