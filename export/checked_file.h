#pragma once
// Writing files with every write checked: the program's own writers (DXF, CSV) through
// CheckedFile, GDAL's drivers through a file system of GDAL's that hands each byte to the
// same checked writes. A write that fails part way (a full disk, the file size limit) is
// kept with its error number, so that the export fails and says why, whatever the
// writer above it does with the failure (some of GDAL's drivers do not look).
#include <cstddef>
#include <string>

namespace surveyexport {

class CheckedFile {
 public:
  CheckedFile() = default;
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;
  ~CheckedFile();

  // Creates the file (or empties it). False when it cannot be made; Error() says why.
  bool Open(const std::string& path);
  void Write(const char* data, std::size_t size);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  // Where the next write lands: the bytes written so far, the buffered ones included.
  std::size_t Offset() const { return written_ + buffer_.size(); }
  // Writes `text` over bytes already written from `offset` on (a place kept for a value
  // known only later).
  void Overwrite(std::size_t offset, const std::string& text);
  // Open, and no write has failed so far.
  bool Good() const { return fd_ >= 0 && error_ == 0; }
  // The error number of the first failure (0: none).
  int Error() const { return error_; }
  // Writes what is buffered and closes: 0, or the error number of the first failure.
  int Close();

 private:
  void Drain();
  int fd_ = -1;
  int error_ = 0;
  std::size_t written_ = 0;
  std::string buffer_;
};

// The name under which GDAL writes `path` through checked writes ("/vsichecked/" + path);
// a dataset created under it is the file at `path`.
std::string CheckedGdalName(const std::string& path);
// The error number of the first write, truncation or close that failed for `path` or a
// file whose name begins with it (a GeoPackage's journal) since the last Forget; 0: none.
int CheckedGdalError(const std::string& path);
// Forgets the failures kept for `path` and the files whose names begin with it.
void ForgetCheckedGdalFile(const std::string& path);

}  // namespace surveyexport
