// A stand-in for a program of the suite: appends one line to the file named by
// SELVAN_STAND_IN_LOG when it starts and one when it ends, then exits with code 7.
//   started<TAB>program file<TAB>argument count<TAB>current folder
//   ended<TAB>program file
// SELVAN_STAND_IN_MS makes it wait that many milliseconds (at most 10 s) before ending;
// SELVAN_STAND_IN_HOLD names a file: while that file exists it does not end (at most 20 s).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

namespace {

void Append(const std::string& line) {
  const char* log = std::getenv("SELVAN_STAND_IN_LOG");
  if (!log || !*log) return;
  const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  const std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

std::string SelfPath() {
  char buffer[PATH_MAX + 1] = {};
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

int main(int argc, char**) {
  char cwd[PATH_MAX + 1] = {};
  if (!::getcwd(cwd, PATH_MAX)) cwd[0] = '\0';
  const std::string self = SelfPath();
  Append("started\t" + self + "\t" + std::to_string(argc - 1) + "\t" + cwd);
  if (const char* ms = std::getenv("SELVAN_STAND_IN_MS")) {
    const long wait = std::strtol(ms, nullptr, 10);
    if (wait > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(wait < 10000 ? wait : 10000));
  }
  if (const char* hold = std::getenv("SELVAN_STAND_IN_HOLD")) {
    for (int i = 0; i < 2000 && *hold && ::access(hold, F_OK) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Append("ended\t" + self);
  return 7;
}
