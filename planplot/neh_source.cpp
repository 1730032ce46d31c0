// NEH records from a file (through the suite's survey file reader) or from memory.
#include "planplot/neh_source.h"

#include <cstring>

#include "toolkit/survey_files.h"

namespace planplot {
namespace {

constexpr int kNehRecordLength = toolkit::RecordLength(toolkit::SurveyKind::Neh);

class FileSource : public NehSource {
 public:
  ~FileSource() override { toolkit::CloseSurveyFile(file_); }
  bool Open(const std::string& fullName) {
    return toolkit::OpenSurveyFileNamed(file_, fullName, toolkit::SurveyKind::Neh) ==
           toolkit::OpenResult::Ok;
  }
  double Count() const override { return file_.recordCount; }
  bool Failed() const override { return failed_; }
  std::int64_t MissingRecord() const override { return missing_; }
  bool Read(std::int64_t r, NehRecord& out) override {
    if (!toolkit::ReadRecord(file_, r)) {
      failed_ = true;
      return false;
    }
    // A record past the end of a file cut since its length was taken is not a point at
    // 0,0: the file ends there.
    if (file_.beyondEnd) {
      if (missing_ == 0 && r >= 1 && static_cast<double>(r) <= file_.recordCount) missing_ = r;
      return false;
    }
    out.northing = toolkit::FieldBinary(file_, 1);
    out.easting = toolkit::FieldBinary(file_, 2);
    out.packedHeight = toolkit::FieldBinary(file_, 3);
    return true;
  }

 private:
  toolkit::SurveyFile file_;
  bool failed_ = false;
  std::int64_t missing_ = 0;
};

class MemorySource : public NehSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  double Count() const override { return static_cast<double>(bytes_.size()) / kNehRecordLength; }
  bool Read(std::int64_t r, NehRecord& out) override {
    unsigned char rec[kNehRecordLength] = {};
    if (r >= 1) {
      const std::uint64_t start = static_cast<std::uint64_t>(r - 1) * kNehRecordLength;
      for (int i = 0; i < kNehRecordLength; ++i)
        if (start + i < bytes_.size()) rec[i] = static_cast<unsigned char>(bytes_[start + i]);
    }
    out.northing = toolkit::LittleEndianDouble(rec);
    out.easting = toolkit::LittleEndianDouble(rec + 8);
    out.packedHeight = toolkit::LittleEndianDouble(rec + 16);
    return true;
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<NehSource> OpenNehFile(const std::string& fullName) {
  if (fullName.empty()) return nullptr;
  auto f = std::make_unique<FileSource>();
  if (!f->Open(fullName)) return nullptr;
  return f;
}

std::unique_ptr<NehSource> MemoryNehSource(std::string bytes) {
  return std::make_unique<MemorySource>(std::move(bytes));
}

}  // namespace planplot
