#include "launcher/launcher_core.h"

#include <cfenv>
#include <cmath>

namespace launcher {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsolute(std::string_view path) {
  if (!path.empty() && IsSeparator(path.front())) return true;
  // A drive letter: "c:/qova/", "C:\qova\".
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

void EndWithSeparator(std::string& folder) {
  if (folder.empty() || !IsSeparator(folder.back())) folder += '/';
}

}  // namespace

std::string InstallFolder(std::string_view builtIn, std::string_view launcherFolder) {
  std::string folder;
  if (IsAbsolute(builtIn)) {
    folder = std::string(builtIn);
  } else {
    folder = std::string(launcherFolder);
    if (!builtIn.empty() && builtIn != "." && builtIn != "./") {
      EndWithSeparator(folder);
      folder += builtIn;
    }
  }
  EndWithSeparator(folder);
#ifdef _WIN32
  for (char& c : folder)
    if (c == '/') c = '\\';
#endif
  return folder;
}

std::string CutCommand(std::string_view command) {
  std::size_t characters = 0;
  std::size_t i = 0;
  while (i < command.size()) {
    if (characters == kMaxCommandLength) return std::string(command.substr(0, i));
    ++characters;
    ++i;
    // Skip the continuation bytes of a multi-byte character.
    while (i < command.size() && (static_cast<unsigned char>(command[i]) & 0xC0) == 0x80) ++i;
  }
  return std::string(command);
}

std::string BuildCommand(std::string_view installFolder, std::string_view entryText) {
  std::string command(installFolder);
  command += entryText;
  return CutCommand(command);
}

std::string ProgramCommandLine(std::string_view command) {
  if (command.empty()) return {};
  std::string line = "\"";
  for (char c : command) {
    if (c == '"')
      line += "\"\"\"";
    else
      line += c;
  }
  line += '"';
  return line;
}

int RoundHalfEven(long double x) {
  // nearbyint rounds in the current mode; make sure it is to-nearest (ties to even).
  const int saved = std::fegetround();
  if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyint(x);
  if (saved != FE_TONEAREST) std::fesetround(saved);
  if (!(r > -2147483648.0L)) return -2147483647 - 1;  // also NaN
  if (r > 2147483647.0L) return 2147483647;
  return static_cast<int>(r);
}

std::vector<GradientBand> GradientBands(int right, int bottom, int k) {
  std::vector<GradientBand> bands;
  bands.reserve(kGradientBands);
  // The step is held as a 4-byte real; the band edges are computed from it in extended
  // precision, so a 280-row page has step 1.39999998, not 1.4.
  const float step = static_cast<float>(bottom) / static_cast<float>(kGradientBands);
  for (int i = 0; i < kGradientBands; ++i) {
    GradientBand band;
    band.left = 0;
    band.right = right + 1;
    band.top = RoundHalfEven(static_cast<long double>(i) * static_cast<long double>(step));
    band.bottom = RoundHalfEven(static_cast<long double>(i + 1) * static_cast<long double>(step));
    const int shade = 255 - i;
    if (k == 1) {
      band.blue = shade;
    } else if (k == 2) {
      band.green = shade;
    } else {
      band.red = shade;
    }
    bands.push_back(band);
  }
  return bands;
}

}  // namespace launcher
