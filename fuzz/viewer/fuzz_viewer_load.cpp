// LoadSurveyFile over arbitrary bytes, for every kind: the first byte picks the kind,
// the rest is the file. The document must have the header and one CR LF-ended line per
// record (rounded half to even), or the bytes unchanged for a text file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "viewer/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExt[] = {"NEH", "SEC", "DAT", "STN", "SOL", "TXT"};
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_viewer_load_XXXXXX";
    const char* d = mkdtemp(tmpl);
    return std::string(d ? d : "/tmp");
  }();
  const int k = size > 0 ? data[0] % 6 : 0;
  const std::string path = dir + "/input." + kExt[k];
  const std::string bytes(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                          size > 0 ? size - 1 : 0);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  const viewer::LoadResult r = viewer::LoadSurveyFile(path);
  const viewer::FileKind kind = viewer::KindOfPath(path);
  if (r.error != viewer::LoadError::None) std::abort();
  if (kind == viewer::FileKind::Text) {
    if (r.text != bytes) std::abort();
  } else {
    const std::string head = std::string(viewer::HeaderLineOf(kind)) + "\r\n";
    if (r.text.compare(0, head.size(), head) != 0) std::abort();
    const std::int64_t n = viewer::ViewerRecordCount(static_cast<std::int64_t>(bytes.size()),
                                                     viewer::RecordLengthOf(kind));
    // Raw text fields may hold CR LF themselves; count only for the number-only kinds.
    if (kind != viewer::FileKind::Sec && kind != viewer::FileKind::Stn) {
      std::int64_t lines = 0;
      for (std::size_t p = r.text.find("\r\n"); p != std::string::npos;
           p = r.text.find("\r\n", p + 2))
        ++lines;
      if (lines != n + 1) std::abort();
    }
    if (r.text.size() < 2 || r.text.compare(r.text.size() - 2, 2, "\r\n") != 0) std::abort();
  }
  return 0;
}
