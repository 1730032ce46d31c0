#pragma once
// The launcher's arithmetic and texts, without Qt: the program table, the install folder,
// the command that starts an entry, and the bands of the shaded page background.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace launcher {

// The programs offered by the list, by file name, in the order they are added.
// Entry 1 is selected when the window opens.
inline constexpr std::array<std::string_view, 17> kProgramTable = {
    "brisel.exe",  "Corvik.exe", "Dastro.exe",  "lisket.exe", "QOVA2.exe",  "TARNE2.exe",
    "Frondel.exe", "Gavrel.exe", "Hostave.exe", "Jorvel.exe", "Tavrik.exe", "Selmar.exe",
    "Morwen.exe",  "Pellaz.exe", "Rastin.exe",  "Ulvarn.exe", "norvane.exe"};

// The longest command line the launcher hands to the system, in characters.
inline constexpr std::size_t kMaxCommandLength = 256;

// Number of bands in the shaded background.
inline constexpr int kGradientBands = 200;

// The install folder the launcher starts programs from, with a trailing separator.
// `builtIn` is the folder fixed when the launcher was built; `launcherFolder` is the folder
// that holds the launcher itself. An empty `builtIn` means the launcher's own folder, a
// relative one is taken from the launcher's own folder, an absolute one is used as it is.
// On Windows the result uses backslashes ("c:/qova" gives "c:\qova\").
std::string InstallFolder(std::string_view builtIn, std::string_view launcherFolder);

// The first `kMaxCommandLength` characters of `command` (UTF-8; a character is never split).
std::string CutCommand(std::string_view command);

// The command that starts a list entry: the install folder followed by the entry's text,
// cut to `kMaxCommandLength` characters.
std::string BuildCommand(std::string_view installFolder, std::string_view entryText);

// The command as the process start's command line: the command names a program and
// nothing else, so it is put in double quotes (an install folder may hold blanks, such as
// "/home/ann/Survey Suite/"), and any double quote in it is written as three, so that
// splitting the line at blanks gives the whole path back as its one word. Empty stays empty.
std::string ProgramCommandLine(std::string_view command);

// One horizontal band of the background: rows [top, bottom) across columns [left, right),
// filled with the colour (red, green, blue). Bottom and right edges are exclusive.
struct GradientBand {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int red = 0;
  int green = 0;
  int blue = 0;
};

// Rounds to the nearest integer, halves to the even neighbour; clamped to the int range.
int RoundHalfEven(long double x);

// The 200 bands, in painting order, for a client rectangle (0, 0, right, bottom) and page
// number k counted from 1: page 1 is shaded in blue, page 2 in green, any other in red,
// from 255 in the top band down to 56 in the bottom one. Each band runs from column 0 to
// right + 1 (one column past the client area, which the surface clips). Later bands paint over
// earlier ones where they round to the same rows (a page under 200 pixels high).
std::vector<GradientBand> GradientBands(int right, int bottom, int k);

}  // namespace launcher
