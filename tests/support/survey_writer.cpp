// The tests' fixture files: the suite's survey file writer, and a scratch folder.
#include "survey_writer.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace testsupport {

std::string MakeTempDir(const std::string& prefix) {
  std::error_code ec;
  std::string base = std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string pattern = base + "/" + (prefix.empty() ? std::string("survey") : prefix) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return std::string();
  return std::string(name.data());
}

}  // namespace testsupport
