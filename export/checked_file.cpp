// Checked writes for the program's own writers and for GDAL's drivers.
//
// GDAL 3.6's GeoJSON, KML and XLSX writers do not look at the result of their writes, and
// GDALClose returns nothing: on a full disk they leave a short file and report nothing. So
// GDAL writes our outputs through a file system handler of our own (VSIInstallPluginHandler)
// whose writes go straight to the file descriptor and keep the first failure by file name.
#include "export/checked_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include <cpl_vsi.h>

namespace surveyexport {

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;
constexpr const char* kPrefix = "/vsichecked/";

// Writes all of [data, data + size): 0, or the error number of the failure.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

// ---- CheckedFile ---------------------------------------------------------------------

CheckedFile::~CheckedFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool CheckedFile::Open(const std::string& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  error_ = fd_ < 0 ? errno : 0;
  written_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
  return fd_ >= 0;
}

void CheckedFile::Write(const char* data, std::size_t size) {
  if (!Good()) return;
  buffer_.append(data, size);
  if (buffer_.size() >= kBufferBytes) Drain();
}

void CheckedFile::Drain() {
  if (Good() && !buffer_.empty()) error_ = WriteAll(fd_, buffer_.data(), buffer_.size());
  written_ += buffer_.size();
  buffer_.clear();
}

void CheckedFile::Overwrite(std::size_t offset, const std::string& text) {
  if (!Good()) return;
  if (offset + text.size() > Offset()) {
    error_ = EINVAL;  // only what is written already can be written over
    return;
  }
  if (offset >= written_) {
    buffer_.replace(offset - written_, text.size(), text);
    return;
  }
  Drain();
  for (std::size_t done = 0; Good() && done < text.size();) {
    const ssize_t n =
        ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) error_ = n < 0 ? errno : EIO;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
}

int CheckedFile::Close() {
  if (fd_ < 0) return error_ != 0 ? error_ : EBADF;
  Drain();
  if (::close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  return error_;
}

// ---- GDAL's writes through checked writes --------------------------------------------

namespace {

std::mutex g_mutex;
std::map<std::string, int> g_failures;  // file name -> first error number

void Keep(const std::string& name, int error) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_failures.emplace(name, error);  // the first one stays
}

struct Handle {
  int fd = -1;
  bool eof = false;
  std::string name;
};

void* Open(void*, const char* name, const char* access) {
  const std::string a = access ? access : "r";
  const bool plus = a.find('+') != std::string::npos;
  int flags = O_CLOEXEC;
  if (a[0] == 'r')
    flags |= plus ? O_RDWR : O_RDONLY;
  else if (a[0] == 'w')
    flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
  else if (a[0] == 'a')
    flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
  else
    return nullptr;
  const int fd = ::open(name, flags, 0666);
  if (fd < 0) return nullptr;
  return new Handle{fd, false, name};
}

int Stat(void*, const char* name, VSIStatBufL* out, int) {
  struct stat st {};
  if (::stat(name, &st) != 0) return -1;
  std::memset(out, 0, sizeof *out);
  out->st_mode = st.st_mode;
  out->st_size = st.st_size;
  out->st_mtime = st.st_mtime;
  return 0;
}

int Unlink(void*, const char* name) { return ::unlink(name); }

vsi_l_offset Tell(void* h) {
  const off_t at = ::lseek(static_cast<Handle*>(h)->fd, 0, SEEK_CUR);
  return at < 0 ? 0 : static_cast<vsi_l_offset>(at);
}

int Seek(void* h, vsi_l_offset offset, int whence) {
  auto* f = static_cast<Handle*>(h);
  f->eof = false;
  return ::lseek(f->fd, static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

size_t Read(void* h, void* buffer, size_t size, size_t count) {
  auto* f = static_cast<Handle*>(h);
  if (size == 0) return 0;
  const size_t want = size * count;
  size_t got = 0;
  while (got < want) {
    const ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + got, want - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) {
      f->eof = true;
      break;
    }
    got += static_cast<size_t>(n);
  }
  return got / size;
}

int Eof(void* h) { return static_cast<Handle*>(h)->eof ? 1 : 0; }

size_t Write(void* h, const void* buffer, size_t size, size_t count) {
  auto* f = static_cast<Handle*>(h);
  if (size == 0) return 0;
  const char* data = static_cast<const char*>(buffer);
  const size_t want = size * count;
  size_t put = 0;
  while (put < want) {
    const ssize_t n = ::write(f->fd, data + put, want - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Keep(f->name, n < 0 ? errno : EIO);
      break;
    }
    put += static_cast<size_t>(n);
  }
  return put / size;
}

int Flush(void*) { return 0; }  // the whole file is synced once, before its rename

int Truncate(void* h, vsi_l_offset size) {
  auto* f = static_cast<Handle*>(h);
  if (::ftruncate(f->fd, static_cast<off_t>(size)) == 0) return 0;
  Keep(f->name, errno);
  return -1;
}

int Close(void* h) {
  auto* f = static_cast<Handle*>(h);
  const int r = ::close(f->fd);
  if (r != 0) Keep(f->name, errno);
  delete f;
  return r;
}

// Kept for the life of the program (the handler may refer to it), and reachable, so that a
// leak checker does not count it.
VSIFilesystemPluginCallbacksStruct* g_callbacks = nullptr;

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    VSIFilesystemPluginCallbacksStruct* cb = g_callbacks =
        VSIAllocFilesystemPluginCallbacksStruct();
    cb->open = Open;
    cb->stat = Stat;
    cb->unlink = Unlink;
    cb->tell = Tell;
    cb->seek = Seek;
    cb->read = Read;
    cb->eof = Eof;
    cb->write = Write;
    cb->flush = Flush;
    cb->truncate = Truncate;
    cb->close = Close;
    VSIInstallPluginHandler(kPrefix, cb);
  });
}

}  // namespace

std::string CheckedGdalName(const std::string& path) {
  Install();
  return kPrefix + path;
}

int CheckedGdalError(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto it = g_failures.lower_bound(path); it != g_failures.end(); ++it) {
    if (it->first.compare(0, path.size(), path) != 0) break;
    return it->second;
  }
  return 0;
}

void ForgetCheckedGdalFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_failures.lower_bound(path);
  while (it != g_failures.end() && it->first.compare(0, path.size(), path) == 0)
    it = g_failures.erase(it);
}

}  // namespace surveyexport
