#pragma once
// The choices of the export window as surveyexport command lines (no Qt).
//
// The window never runs anything of its own: what the surveyor picks becomes the words of
// one `surveyexport` command per kind of work (plan, table, sections), and those words go
// through ParseCommandLine like a typed command. So the window can do exactly what the
// command line does, refuses what it refuses with the same line, and the command it shows
// for copying is the very one it runs.
#include <string>
#include <vector>

#include "export/export_common.h"
#include "export/options.h"
#include "toolkit/survey_files.h"

namespace surveyexport {

// The eight targets of the window, in its order, in a surveyor's words.
enum class Target { Dxf, Gpkg, Kml, GeoJson, Xlsx, Csv, Pdf, Svg };
inline constexpr int kTargetCount = 8;
// "CAD drawing (DXF)", "GIS layer (GeoPackage)", ...
const char* TargetTitle(Target target);
Format TargetFormat(Target target);
// The drawings at scale (PDF, SVG): their preview is the sheet.
bool TargetIsSheet(Target target);

// Everything the window lets the surveyor choose, as texts where the command line takes a
// text, so that the parser (not the window) judges them.
struct ExportChoices {
  Target target = Target::Dxf;
  bool neHAsTable = false;  // CSV and GeoPackage: an NEH file's records as a table, not its plan
  std::string reference;    // plan: a reference NEH file
  bool numbers = false, levels = false;
  std::string crs;  // "" the format's default; else as --crs takes it
  bool suiteDatumShift = false;
  bool flat = false;   // --2d
  bool wgs84 = false;  // plan to CSV: latitude and longitude columns
  std::string scale;   // "" the largest standard scale that fits
  std::string paper;   // "" the command's default
  bool portrait = false;
  std::string view;  // "" the whole survey; else E1,N1,E2,N2 as --view takes it
  std::string from, to, horizontal, vertical;  // sections
  bool heights = false, fit = false;
  std::string outputDir;
  bool overwrite = false;
};

// One file of the window's list as the commands see it.
struct ListedFile {
  std::string path;
  bool known = false;  // one of the seven kinds
  toolkit::SurveyKind kind = toolkit::SurveyKind::Neh;
};

// One command built from the choices: its words (after "surveyexport"), the list rows it
// reads, and, for plan and table, the words of each single file (run one after the other
// so that each row gets its own progress and summary). A command the parser refuses
// carries the parser's line in `refused`.
struct BuiltCommand {
  Command command = Command::Plan;
  std::vector<std::string> words;
  std::vector<int> rows;
  std::vector<std::vector<std::string>> perRow;  // plan and table; sections run whole
  std::string refused;
};

// What the choices make of the list: the commands, and the rows no command of this
// target takes with the line that says why.
struct BuiltExport {
  std::vector<BuiltCommand> commands;
  std::vector<std::pair<int, std::string>> skipped;
};

// The command that writes a file of this kind to the target (plan, table or sections);
// false when none does (a station file to a CAD drawing).
bool CommandFor(const ExportChoices& choices, const ListedFile& file, Command* command);

// The commands for the files under the choices, each parsed (ParseCommandLine), so that
// a refused one says why in the command line's own words.
BuiltExport BuildExport(const ExportChoices& choices, const std::vector<ListedFile>& files);

// The outputs a command will write in its folder (as --output-dir names them); for SVG
// sections the first page's names.
std::vector<std::string> ExpectedOutputs(const BuiltCommand& command, const ExportChoices& choices,
                                         const std::vector<ListedFile>& files);

// A word as a POSIX shell reads it back unchanged: bare when it holds only safe
// characters, otherwise in single quotes ('it'\''s').
std::string ShellQuoted(const std::string& word);
// "surveyexport WORD WORD ..." quoted for a shell.
std::string ShellCommand(const std::vector<std::string>& words);

// The options of the choices that apply to the target for a command, by their long names:
// what the window shows.
bool OptionShown(const ExportChoices& choices, Command command, const char* option);

}  // namespace surveyexport
