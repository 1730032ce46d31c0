// The input rule of surveyexport: a survey file is checked once before it is read, and
// looked at again after reading.
#include "export/input_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "export/export_common.h"

namespace surveyexport {
namespace {

std::int64_t ModifiedNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// What a name that is not a plain file is, for "NAME is a ..., not a survey file".
const char* NodeKind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

std::string NotAFile(const std::string& path, mode_t mode) {
  return Shown(path) + " is " + NodeKind(mode) + ", not a survey file";
}

std::string Records(std::int64_t n) { return n == 1 ? "1 record" : std::to_string(n) + " records"; }

// True when every record of the open file is all zero bytes (an unused slot); reads up to
// the first record that is not.
bool AllRecordsZero(int fd, std::int64_t records, int length) {
  std::vector<unsigned char> buffer(static_cast<std::size_t>(length) * 2731);  // ~64 KB
  std::int64_t left = records * length;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size()));
    const ssize_t got = read(fd, buffer.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // cut or unreadable: the reading proper will say so
    for (ssize_t i = 0; i < got; ++i)
      if (buffer[static_cast<std::size_t>(i)] != 0) return false;
    left -= got;
  }
  return true;
}

// An NEH file read for a plan pass, with what the reading finds kept in `reading`.
class WatchedSource : public planplot::NehSource {
 public:
  WatchedSource(std::unique_ptr<planplot::NehSource> inner,
                std::shared_ptr<WatchedNehFiles::Reading> reading)
      : inner_(std::move(inner)), reading_(std::move(reading)) {}
  double Count() const override { return inner_->Count(); }
  bool Failed() const override { return inner_->Failed(); }
  std::int64_t MissingRecord() const override { return inner_->MissingRecord(); }
  bool Read(std::int64_t r, planplot::NehRecord& out) override {
    if (!inner_->Read(r, out)) {
      if (reading_->missing == 0) reading_->missing = inner_->MissingRecord();
      return false;
    }
    ++reading_->read;
    if (!(std::isfinite(out.northing) && std::isfinite(out.easting) &&
          std::isfinite(out.packedHeight)))
      ++reading_->skipped;
    else if (out.northing != 0 || out.easting != 0)
      ++reading_->drawn;
    return true;
  }

 private:
  std::unique_ptr<planplot::NehSource> inner_;
  std::shared_ptr<WatchedNehFiles::Reading> reading_;
};

}  // namespace

std::string RecordGoneLine(const std::string& path, std::int64_t record) {
  return Shown(path) + ": record " + std::to_string(record) +
         " is no longer in the file (the file was cut while being read)";
}

std::string NothingToExportLine(const std::string& path, std::int64_t records,
                                std::int64_t skipped) {
  if (skipped <= 0)
    return Shown(path) + ": holds no records (" +
           (records == 1 ? std::string("its 1 record is empty")
                         : "all " + std::to_string(records) + " records are empty") +
           ")";
  std::string why;
  if (skipped == 1 && records == 1)
    why = "its 1 record holds a value that is";
  else if (skipped == records)
    why = "all " + std::to_string(skipped) + " records hold values that are";
  else
    why = std::to_string(records - skipped) + " of its " + Records(records) + " empty, " +
          std::to_string(skipped) +
          (skipped == 1 ? " holding a value that is" : " holding values that are");
  return Shown(path) + ": no record could be exported (" + why + " not a number or infinite)";
}

std::string CheckInput(const std::string& path, toolkit::SurveyKind kind, InputFile* file) {
  const std::string name = Shown(path);
  if (path.empty() || path.find('\0') != std::string::npos) return name + ": no such file";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return name + ": no such file";
    return name + ": cannot be read (" + std::strerror(errno) + ")";
  }
  if (!S_ISREG(st.st_mode)) return NotAFile(path, st.st_mode);
  // Without waiting: should a pipe have taken the file's place since, opening returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return name + ": cannot be read (" + std::strerror(errno) + ")";
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (fstat(fd, &st) != 0) return name + ": cannot be read (" + std::strerror(errno) + ")";
  if (!S_ISREG(st.st_mode)) return NotAFile(path, st.st_mode);

  const int length = toolkit::RecordLength(kind);
  const std::int64_t bytes = st.st_size;
  const std::int64_t records = bytes / length;
  if (bytes == 0) return name + ": the file is empty";
  if (records == 0)
    return name + ": holds no records (" + std::to_string(bytes) +
           " bytes, less than one record of " + std::to_string(length) + " bytes)";
  if (AllRecordsZero(fd, records, length)) return NothingToExportLine(path, records, 0);
  if (file) {
    file->path = path;
    file->kind = kind;
    file->bytes = bytes;
    file->records = records;
    file->device = st.st_dev;
    file->inode = st.st_ino;
    file->modifiedNs = ModifiedNs(st);
  }
  return {};
}

std::string CheckUnchanged(const InputFile& file) {
  struct stat st {};
  if (stat(file.path.c_str(), &st) != 0) return Shown(file.path) + ": removed while being read";
  const int length = toolkit::RecordLength(file.kind);
  if (st.st_dev == file.device && st.st_ino == file.inode && st.st_size < file.bytes &&
      st.st_size / length < file.records)
    return RecordGoneLine(file.path, st.st_size / length + 1);
  if (st.st_dev != file.device || st.st_ino != file.inode || st.st_size != file.bytes ||
      ModifiedNs(st) != file.modifiedNs)
    return Shown(file.path) + ": changed while being read: export it again";
  return {};
}

std::string WatchedNehFiles::Check(const std::vector<std::string>& paths) {
  files_.clear();
  readings_.clear();
  for (const std::string& path : paths) {
    InputFile f;
    if (std::string problem = CheckInput(path, toolkit::SurveyKind::Neh, &f); !problem.empty())
      return problem;
    files_.push_back(f);
    readings_.push_back(std::make_shared<Reading>());
  }
  return {};
}

double WatchedNehFiles::Records() const {
  double n = 0;
  for (const InputFile& f : files_) n += static_cast<double>(f.records);
  return n;
}

planplot::NehOpener WatchedNehFiles::Opener() {
  return [this](const std::string& name) -> std::unique_ptr<planplot::NehSource> {
    std::unique_ptr<planplot::NehSource> source = planplot::OpenNehFile(name);
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].path != name) continue;
      // A new reading of the file: what it finds replaces what an earlier one found.
      auto reading = std::make_shared<Reading>();
      readings_[i] = reading;
      if (!source) {
        reading->changed = CheckUnchanged(files_[i]);
        if (reading->changed.empty()) reading->changed = Shown(name) + ": cannot be read";
        return nullptr;
      }
      // Only whole records are read; one that was there when the file was checked and is
      // not now was cut off.
      const double count = std::floor(source->Count());
      if (count < static_cast<double>(files_[i].records)) {
        reading->missing = static_cast<std::int64_t>(count) + 1;
      } else if (count > static_cast<double>(files_[i].records)) {
        reading->changed = Shown(name) + ": changed while being read: export it again";
      }
      return std::make_unique<WatchedSource>(std::move(source), reading);
    }
    return source;
  };
}

std::string WatchedNehFiles::Problem() const {
  for (std::size_t i = 0; i < files_.size(); ++i) {
    const Reading& r = *readings_[i];
    if (r.missing > 0) return RecordGoneLine(files_[i].path, r.missing);
    if (!r.changed.empty()) return r.changed;
    if (std::string changed = CheckUnchanged(files_[i]); !changed.empty()) return changed;
  }
  for (std::size_t i = 0; i < files_.size(); ++i) {
    const Reading& r = *readings_[i];
    if (r.read > 0 && r.drawn == 0) return NothingToExportLine(files_[i].path, r.read, r.skipped);
  }
  return {};
}

}  // namespace surveyexport
