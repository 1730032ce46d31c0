// The export window's choices as surveyexport command lines.
#include "export/gui_command.h"

#include "export/crs_rule.h"
#include "export/table_export.h"

namespace surveyexport {

namespace {

using toolkit::SurveyKind;

struct TargetDecl {
  Target target;
  const char* title;
  Format format;
  const char* name;  // --format
};

const TargetDecl kTargets[kTargetCount] = {
    {Target::Dxf, "CAD drawing (DXF)", Format::Dxf, "dxf"},
    {Target::Gpkg, "GIS layer (GeoPackage)", Format::Gpkg, "gpkg"},
    {Target::Kml, "Google Earth (KML)", Format::Kml, "kml"},
    {Target::GeoJson, "Web map (GeoJSON)", Format::GeoJson, "geojson"},
    {Target::Xlsx, "Spreadsheet (XLSX)", Format::Xlsx, "xlsx"},
    {Target::Csv, "Table (CSV)", Format::Csv, "csv"},
    {Target::Pdf, "Drawing at scale (PDF)", Format::Pdf, "pdf"},
    {Target::Svg, "Drawing at scale (SVG)", Format::Svg, "svg"},
};

const TargetDecl& DeclOf(Target t) { return kTargets[static_cast<int>(t)]; }

// The words of one command for the given inputs.
std::vector<std::string> WordsFor(Command command, const ExportChoices& c,
                                  const std::vector<std::string>& inputs) {
  std::vector<std::string> w{CommandName(command)};
  auto option = [&](const char* name, const std::string& value) {
    if (OptionShown(c, command, name) && !value.empty()) {
      w.push_back(name);
      w.push_back(value);
    }
  };
  auto flag = [&](const char* name, bool on) {
    if (on && OptionShown(c, command, name)) w.push_back(name);
  };
  option("--reference", c.reference);
  flag("--numbers", c.numbers);
  flag("--levels", c.levels);
  // A table places only the kinds that hold positions in --crs: files of none of them
  // (DAT, SEC, PTS) go without it, as the command line asks.
  if (command != Command::Table || CrsPlacesAny(inputs)) option("--crs", c.crs);
  flag("--wgs84", c.wgs84);
  if (c.suiteDatumShift) option("--datum-shift", "suite");
  flag("--2d", c.flat);
  option("--scale", c.scale);
  option("--paper", c.paper);
  flag("--portrait", c.portrait);
  option("--view", c.view);
  option("--from", c.from);
  option("--to", c.to);
  option("--horizontal", c.horizontal);
  option("--vertical", c.vertical);
  flag("--heights", c.heights);
  flag("--fit", c.fit);
  w.push_back("--output-dir");
  w.push_back(c.outputDir);
  w.push_back("--format");
  w.push_back(DeclOf(c.target).name);
  if (c.overwrite) w.push_back("--overwrite");
  // A file whose name begins with "-" stays a file after "--".
  for (const std::string& input : inputs) {
    if (!input.empty() && input[0] == '-') {
      w.push_back("--");
      break;
    }
  }
  w.insert(w.end(), inputs.begin(), inputs.end());
  return w;
}

const char* KindWord(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Dat:
      return "an observation (DAT) file";
    case SurveyKind::Neh:
      return "a point (NEH) file";
    case SurveyKind::Sec:
      return "a section (SEC) file";
    case SurveyKind::Stn:
      return "a station (STN) file";
    case SurveyKind::Chg:
      return "a chainage (CHG) file";
    case SurveyKind::Pts:
      return "a point list (PTS) file";
    case SurveyKind::Sol:
      return "a setting-out (SOL) file";
  }
  return "a survey file";
}

}  // namespace

const char* TargetTitle(Target t) { return DeclOf(t).title; }
Format TargetFormat(Target t) { return DeclOf(t).format; }
bool TargetIsSheet(Target t) { return t == Target::Pdf || t == Target::Svg; }

bool CommandFor(const ExportChoices& c, const ListedFile& f, Command* command) {
  if (!f.known) return false;
  const Format format = TargetFormat(c.target);
  if (f.kind == SurveyKind::Neh && CommandWrites(Command::Plan, format) &&
      !(c.neHAsTable && CommandWrites(Command::Table, format))) {
    *command = Command::Plan;
    return true;
  }
  if (f.kind == SurveyKind::Sec && CommandWrites(Command::Sections, format)) {
    *command = Command::Sections;
    return true;
  }
  if (CommandWrites(Command::Table, format)) {
    *command = Command::Table;
    return true;
  }
  return false;
}

bool OptionShown(const ExportChoices& c, Command command, const char* option) {
  const std::string o = option;
  const Format f = TargetFormat(c.target);
  const bool sheet = TargetIsSheet(c.target);
  switch (command) {
    case Command::Plan:
      if (o == "--reference") return true;
      if (o == "--numbers" || o == "--levels") return f == Format::Dxf || sheet;
      if (o == "--crs") return f == Format::Gpkg || f == Format::GeoJson;
      if (o == "--wgs84") return f == Format::Csv;
      // Into WGS 84 (KML, GeoJSON; CSV with its latitude and longitude; a GeoPackage in a
      // WGS 84 based system, which the parser judges).
      if (o == "--datum-shift") {
        const std::string crs = c.crs.empty() ? DefaultCrs(f) : c.crs;
        return f == Format::Kml || (f == Format::Csv && c.wgs84) ||
               ((f == Format::Gpkg || f == Format::GeoJson) && CheckCrsText(crs).empty() &&
                CrsIsWgs84Based(crs));
      }
      if (o == "--2d")
        return f == Format::Dxf || f == Format::Gpkg || f == Format::GeoJson || f == Format::Kml;
      if (o == "--scale" || o == "--paper" || o == "--portrait" || o == "--view") return sheet;
      return false;
    case Command::Table:
      return o == "--crs" && f == Format::Gpkg;
    case Command::Sections:
      if (o == "--from" || o == "--to" || o == "--horizontal" || o == "--vertical" ||
          o == "--heights")
        return true;
      if (o == "--paper" || o == "--fit") return sheet;
      return false;
  }
  return false;
}

BuiltExport BuildExport(const ExportChoices& c, const std::vector<ListedFile>& files) {
  BuiltExport built;
  const Command order[] = {Command::Plan, Command::Table, Command::Sections};
  for (Command command : order) {
    BuiltCommand b;
    b.command = command;
    std::vector<std::string> inputs;
    for (int row = 0; row < static_cast<int>(files.size()); ++row) {
      Command mine;
      if (CommandFor(c, files[row], &mine) && mine == command) {
        b.rows.push_back(row);
        inputs.push_back(files[row].path);
      }
    }
    if (b.rows.empty()) continue;
    b.words = WordsFor(command, c, inputs);
    ExportOptions parsed;
    b.refused = ParseCommandLine(b.words, &parsed);
    if (b.refused.empty() && command != Command::Sections) {
      // Two inputs that would write one output are refused as the command line refuses them.
      std::vector<ExportJob> jobs;
      b.refused = JobsInFolder(inputs, c.outputDir, parsed.format, jobs);
      for (const std::string& input : inputs) b.perRow.push_back(WordsFor(command, c, {input}));
    }
    built.commands.push_back(std::move(b));
  }
  for (int row = 0; row < static_cast<int>(files.size()); ++row) {
    Command unused;
    if (CommandFor(c, files[row], &unused)) continue;
    const ListedFile& f = files[row];
    std::string line = Shown(f.path) + ": ";
    if (!f.known)
      line += "not a survey file (the name must end in .DAT .NEH .SEC .STN .CHG .PTS or .SOL)";
    else
      line += std::string(KindWord(f.kind)) + " is not written as " + TargetTitle(c.target);
    built.skipped.emplace_back(row, line);
  }
  return built;
}

std::vector<std::string> ExpectedOutputs(const BuiltCommand& b, const ExportChoices& c,
                                         const std::vector<ListedFile>& files) {
  std::vector<std::string> outputs;
  const Format format = TargetFormat(c.target);
  if (b.command == Command::Sections) {
    if (b.rows.empty()) return outputs;
    const std::string first = OutputPathFor(files[b.rows.front()].path, c.outputDir, format);
    outputs.push_back(first);
    if (format == Format::Svg) {
      // A run of several sections writes NAME-1.svg, NAME-2.svg, ...
      const std::string stem = first.substr(0, first.size() - 4);
      outputs.push_back(stem + "-1.svg");
    }
    return outputs;
  }
  for (int row : b.rows) outputs.push_back(OutputPathFor(files[row].path, c.outputDir, format));
  return outputs;
}

std::string ShellQuoted(const std::string& word) {
  if (word.empty()) return "''";
  bool safe = true;
  for (char ch : word) {
    const auto u = static_cast<unsigned char>(ch);
    const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                    std::string("-_./,:=+@%").find(ch) != std::string::npos;
    if (!ok) safe = false;
  }
  if (safe) return word;
  std::string q = "'";
  for (char ch : word) {
    if (ch == '\'')
      q += "'\\''";
    else
      q += ch;
  }
  return q + "'";
}

std::string ShellCommand(const std::vector<std::string>& words) {
  std::string line = "surveyexport";
  for (const std::string& w : words) line += " " + ShellQuoted(w);
  return line;
}

}  // namespace surveyexport
