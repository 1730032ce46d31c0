// The surveyexport command line: one table of options, one parser, one help text.
#include "export/options.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "export/crs_rule.h"
#include "export/plan_sheet.h"
#include "export/section_layout.h"
#include "export/table_export.h"

namespace surveyexport {
namespace {

using Formats = unsigned;
constexpr Formats Bit(Format f) { return 1u << static_cast<unsigned>(f); }
constexpr Formats kDxf = Bit(Format::Dxf), kGpkg = Bit(Format::Gpkg),
                  kGeoJson = Bit(Format::GeoJson), kKml = Bit(Format::Kml), kCsv = Bit(Format::Csv),
                  kXlsx = Bit(Format::Xlsx), kPdf = Bit(Format::Pdf), kSvg = Bit(Format::Svg);
constexpr Formats kSheet = kPdf | kSvg;
constexpr Formats kPlanAll = kDxf | kGpkg | kGeoJson | kKml | kCsv | kSheet;
constexpr Formats kTableAll = kCsv | kGpkg | kXlsx;
constexpr Formats kSectionsAll = kPdf | kSvg | kDxf;

constexpr int kCommands = 3;
Formats AllOf(Command c) {
  switch (c) {
    case Command::Plan:
      return kPlanAll;
    case Command::Table:
      return kTableAll;
    case Command::Sections:
      return kSectionsAll;
  }
  return 0;
}

// Sets an option's value into the record; empty when the value is good, else why not.
using Setter = std::string (*)(ExportOptions&, const std::string&);

struct OptionDecl {
  const char* name;       // the long name, "--crs"
  const char* shortName;  // "-q", or nullptr
  const char* value;      // the value's name in the help ("CRS"); nullptr: a flag
  Formats
      formats[kCommands];  // per command (plan, table, sections): where it applies; 0: not taken
  const char* help;
  Setter set;
};

std::string ScaleProblem(const char* option, const std::string& v) {
  return std::string(option) + " " + Shown(v) +
         ": the scale is the number N of 1:N, written in digits with at most one point "
         "(1 or more, below 1000000000)";
}

std::string SetScale(const char* option, double& into, const std::string& v) {
  const auto s = ParseScale(v);
  if (!s) return ScaleProblem(option, v);
  into = *s;
  return {};
}

const OptionDecl kOptions[] = {
    {"--reference",
     nullptr,
     "NEH",
     {kPlanAll, 0, 0},
     "a reference NEH file drawn with the plan, in layers of its own",
     [](ExportOptions& o, const std::string& v) {
       o.reference = v;
       return std::string();
     }},
    {"--numbers",
     nullptr,
     nullptr,
     {kDxf | kSheet, 0, 0},
     "write the point numbers as text",
     [](ExportOptions& o, const std::string&) {
       o.numbers = true;
       return std::string();
     }},
    {"--levels",
     nullptr,
     nullptr,
     {kDxf | kSheet, 0, 0},
     "write the levels as text",
     [](ExportOptions& o, const std::string&) {
       o.levels = true;
       return std::string();
     }},
    {"--crs",
     nullptr,
     "CRS",
     {kGpkg | kGeoJson, kGpkg, 0},
     "the coordinate system of the coordinates written: EPSG:n, a PROJ string, WKT or\n"
     "PROJJSON given inline, or none (the grid values, undefined Cartesian); coordinates\n"
     "are transformed into it from the Hong Kong 1980 Grid (EPSG:2326, the default of\n"
     "GeoPackage; GeoJSON: EPSG:4326)",
     [](ExportOptions& o, const std::string& v) {
       if (std::string e = CheckCrsText(v); !e.empty()) return e;
       o.crs = v;
       return std::string();
     }},
    {"--datum-shift",
     nullptr,
     "official|suite",
     {kGpkg | kGeoJson | kKml | kCsv, 0, 0},
     "into a WGS 84 based system through PROJ's operation (official, the default) or the\n"
     "converter's own chain (suite); the summary gives the largest difference",
     [](ExportOptions& o, const std::string& v) {
       if (v == "official")
         o.datumShift = DatumShift::Official;
       else if (v == "suite")
         o.datumShift = DatumShift::Suite;
       else
         return "--datum-shift is official or suite, not '" + Shown(v) + "'";
       return std::string();
     }},
    {"--2d",
     nullptr,
     nullptr,
     {kDxf | kGpkg | kGeoJson | kKml, 0, 0},
     "points and lines flat, without heights",
     [](ExportOptions& o, const std::string&) {
       o.flat = true;
       return std::string();
     }},
    {"--wgs84",
     nullptr,
     nullptr,
     {kCsv, 0, 0},
     "add WGS 84 latitude and longitude columns",
     [](ExportOptions& o, const std::string&) {
       o.wgs84 = true;
       return std::string();
     }},
    {"--scale",
     nullptr,
     "N",
     {kSheet, 0, 0},
     "draw at 1:N (default: the largest of 1:100 ... 1:50000 at which it fits)",
     [](ExportOptions& o, const std::string& v) { return SetScale("--scale", o.scale, v); }},
    {"--paper",
     nullptr,
     "A4|A3|A2|A1|A0",
     {kSheet, 0, kSheet},
     "the sheet (plan: A3, landscape; sections: A4)",
     [](ExportOptions& o, const std::string& v) {
       const auto p = PaperNamed(v);
       if (!p) return "--paper " + Shown(v) + ": use A4, A3, A2, A1 or A0";
       o.paper = p->name;
       return std::string();
     }},
    {"--portrait",
     nullptr,
     nullptr,
     {kSheet, 0, 0},
     "the sheet upright",
     [](ExportOptions& o, const std::string&) {
       o.portrait = true;
       return std::string();
     }},
    {"--view",
     nullptr,
     "E1,N1,E2,N2",
     {kSheet, 0, 0},
     "draw the window between two corners instead of the whole survey",
     [](ExportOptions& o, const std::string& v) {
       const auto w = ParseView(v);
       if (!w) return "--view " + Shown(v) + ": give two corners as E1,N1,E2,N2";
       o.haveView = true;
       std::copy(w->begin(), w->end(), o.view);
       return std::string();
     }},
    {"--from",
     nullptr,
     "NAME",
     {0, 0, kSectionsAll},
     "the first section to draw",
     [](ExportOptions& o, const std::string& v) {
       o.from = v;
       return std::string();
     }},
    {"--to",
     nullptr,
     "NAME",
     {0, 0, kSectionsAll},
     "the last section (default: only --from)",
     [](ExportOptions& o, const std::string& v) {
       o.to = v;
       return std::string();
     }},
    {"--horizontal",
     nullptr,
     "H",
     {0, 0, kSectionsAll},
     "1 m across is 1000/H mm",
     [](ExportOptions& o, const std::string& v) {
       return SetScale("--horizontal", o.horizontal, v);
     }},
    {"--vertical",
     nullptr,
     "V",
     {0, 0, kSectionsAll},
     "1 m up is 1000/V mm",
     [](ExportOptions& o, const std::string& v) { return SetScale("--vertical", o.vertical, v); }},
    {"--heights",
     nullptr,
     nullptr,
     {0, 0, kSectionsAll},
     "the height of every point beside it",
     [](ExportOptions& o, const std::string&) {
       o.heights = true;
       return std::string();
     }},
    {"--fit",
     nullptr,
     nullptr,
     {0, 0, kSheet},
     "keep the sheet, at the largest standard scales that fit",
     [](ExportOptions& o, const std::string&) {
       o.fit = true;
       return std::string();
     }},
    {"--output-dir",
     nullptr,
     "DIR",
     {kPlanAll, kTableAll, kSectionsAll},
     "several inputs: one output an input, DIR/<input's name>.<FMT> (made when missing)",
     [](ExportOptions& o, const std::string& v) {
       if (v.empty()) return std::string("--output-dir needs a folder");
       o.outputDir = v;
       return std::string();
     }},
    {"--format",
     nullptr,
     "FMT",
     {kPlanAll, kTableAll, kSectionsAll},
     "the format of the outputs in --output-dir",
     [](ExportOptions& o, const std::string& v) {
       o.format = FormatFromName(v);
       if (o.format == Format::Unknown) return "--format '" + Shown(v) + "' is not a format";
       return std::string();
     }},
    {"--overwrite",
     nullptr,
     nullptr,
     {kPlanAll, kTableAll, kSectionsAll},
     "replace an existing output (without it, an existing file is kept and the export stops)",
     [](ExportOptions& o, const std::string&) {
       o.overwrite = true;
       return std::string();
     }},
    {"--quiet",
     "-q",
     nullptr,
     {kPlanAll, kTableAll, kSectionsAll},
     "no progress bar (it shows for inputs of 10,000 records or more)",
     [](ExportOptions& o, const std::string&) {
       o.quiet = true;
       return std::string();
     }},
    {"--help",
     "-h",
     nullptr,
     {kPlanAll, kTableAll, kSectionsAll},
     "this text",
     [](ExportOptions& o, const std::string&) {
       o.help = true;
       return std::string();
     }},
};

int Index(Command c) { return static_cast<int>(c); }

const OptionDecl* Find(const std::string& name) {
  for (const OptionDecl& d : kOptions) {
    if (name == d.name || (d.shortName && name == d.shortName)) return &d;
  }
  return nullptr;
}

std::string FormatList(Formats formats, const char* prefix) {
  std::string s;
  for (Format f : {Format::Dxf, Format::Gpkg, Format::GeoJson, Format::Kml, Format::Csv,
                   Format::Xlsx, Format::Pdf, Format::Svg}) {
    if (!(formats & Bit(f))) continue;
    if (!s.empty()) s += ' ';
    s += prefix;
    s += FormatExtension(f) + 1;
  }
  return s;
}

struct CommandDecl {
  Command command;
  const char* name;
  const char* synopsis;
  const char* what;
};

const CommandDecl kCommandDecls[] = {
    {Command::Plan, "plan",
     "surveyexport plan NEH [OPTIONS] OUTPUT\n"
     "       surveyexport plan NEH... --output-dir DIR --format FMT [OPTIONS]",
     "The plan as plandra draws it. Points (every record with a position: number, code,\n"
     "height, line marker) and lines (each run of joined records, split where the style\n"
     "digit changes) to DXF (layers POINTS, LINES_0..LINES_9, NUMBERS, LEVELS,\n"
     "REF_POINTS, REF_LINES), GeoPackage (layers points, lines, ref_points, ref_lines),\n"
     "GeoJSON and KML (WGS 84) or CSV; or on paper at true scale (PDF, SVG): a frame\n"
     "with easting and northing labels, a scale bar, a north arrow and a title block;\n"
     "yellow, green and cyan print darker."},
    {Command::Table, "table",
     "surveyexport table FILE [OPTIONS] OUTPUT\n"
     "       surveyexport table FILE... --output-dir DIR --format FMT [OPTIONS]",
     "Every record of a survey file (.DAT .NEH .SEC .STN .CHG .PTS .SOL) as one row of a\n"
     "table, with the fields as brisel shows them. Empty records are left out; records\n"
     "holding values that are not numbers are skipped and counted. In a GeoPackage the\n"
     "rows of NEH, STN, CHG and SOL files are points."},
    {Command::Sections, "sections",
     "surveyexport sections SEC [SEC...] --from NAME [--to NAME] --horizontal H\n"
     "                      --vertical V [OPTIONS] OUTPUT",
     "Cross sections of up to five SEC files as sectra draws them, at true scale. PDF: one\n"
     "page a section, landscape, on --paper; a section too big for it goes on the next\n"
     "larger sheet (with --fit: stays, at smaller standard scales), and the page says so.\n"
     "SVG: OUTPUT.svg for one section, otherwise OUTPUT-1.svg, OUTPUT-2.svg, ... DXF: every\n"
     "section over its datum, metres across and heights at 1:V, one layer a file. A SEC file\n"
     "may be named without its extension. With --output-dir the drawing is named after\n"
     "the first file."},
};

const CommandDecl& DeclOf(Command c) { return kCommandDecls[Index(c)]; }

void AppendOptions(std::ostringstream& s, Command c) {
  for (const OptionDecl& d : kOptions) {
    const Formats f = d.formats[Index(c)];
    if (!f) continue;
    std::string head = "  ";
    if (d.shortName) head += std::string(d.shortName) + ", ";
    head += d.name;
    if (d.value) head += std::string(" ") + d.value;
    s << head << "\n";
    std::string help = d.help;
    if (f != AllOf(c)) help += " [" + FormatList(f, ".") + "]";
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) s << "        " << line << "\n";
  }
}

}  // namespace

bool ExportOptions::Given(const char* name) const {
  return std::find(given.begin(), given.end(), name) != given.end();
}

const char* CommandName(Command c) { return DeclOf(c).name; }

bool CommandWrites(Command c, Format f) { return f != Format::Unknown && (AllOf(c) & Bit(f)); }

std::string CommandUsage(Command c) {
  const CommandDecl& d = DeclOf(c);
  std::ostringstream s;
  s << "Usage: " << d.synopsis << "\n"
    << d.what << "\n"
    << "Outputs: " << FormatList(AllOf(c), ".") << " (the format follows the extension)\n"
    << "Options:\n";
  AppendOptions(s, c);
  return s.str();
}

std::string ProgramUsage() {
  std::ostringstream s;
  s << "Usage: surveyexport COMMAND [OPTIONS] INPUT... OUTPUT\n"
       "Survey files out to CAD, GIS, spreadsheets and drawings at scale. COMMAND is plan,\n"
       "table or sections; an option in [brackets of formats] applies to those outputs only.\n";
  for (const CommandDecl& d : kCommandDecls) s << "\n" << CommandUsage(d.command);
  s << "\nAn output is written under a temporary name beside it and renamed when complete:\n"
       "a failed or interrupted export leaves nothing under the output's name, and an older\n"
       "file of that name as it was.\n"
       "Exit codes: 0 done; 1 a problem with an input or output (said in one line naming\n"
       "the file); 2 a usage error.\n";
  return s.str();
}

std::string ParseCommandLine(const std::vector<std::string>& args, ExportOptions* o) {
  *o = ExportOptions();
  if (args.empty()) return "no command (plan, table or sections)";
  const std::string& word = args.front();
  if (word == "--help" || word == "-h" || word == "help") {
    o->help = true;
    o->given.push_back("--help");
    return {};
  }
  const CommandDecl* command = nullptr;
  for (const CommandDecl& d : kCommandDecls) {
    if (word == d.name) command = &d;
  }
  if (!command) return "unknown command '" + Shown(word) + "' (plan, table or sections)";
  o->command = command->command;
  const std::string prefix = std::string(command->name) + ": ";
  const int ci = Index(o->command);

  std::vector<std::string> words;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      words.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a, value;
    bool hasValue = false;
    if (const std::size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    const OptionDecl* d = Find(name);
    if (!d || !d->formats[ci]) return prefix + "unknown option '" + Shown(name) + "'";
    if (!d->value) {
      if (hasValue) return prefix + "option " + d->name + " takes no value";
    } else if (!hasValue) {
      if (i + 1 >= args.size())
        return prefix + "option " + d->name + " needs a value (" + d->value + ")";
      value = args[++i];
    }
    if (std::string e = d->set(*o, value); !e.empty()) return prefix + e;  // names escaped
    if (!o->Given(d->name)) o->given.push_back(d->name);
  }
  if (o->help) return {};

  // The inputs, the output and so the format.
  const bool haveDir = o->Given("--output-dir"), haveFormat = o->Given("--format");
  if (haveDir != haveFormat) return prefix + "--output-dir and --format go together";
  if (haveDir) {
    if (!CommandWrites(o->command, o->format))
      return prefix + "--format " + (FormatExtension(o->format) + 1) + " is not one of " +
             FormatList(AllOf(o->command), "");
    if (words.empty()) return prefix + "no input named";
    o->inputs = words;
  } else {
    if (words.empty()) return prefix + "no input named";
    if (words.size() < 2) return prefix + "no output named after " + Shown(words.front());
    o->output = words.back();
    words.pop_back();
    o->inputs = words;
    o->format = FormatFromPath(o->output);
    if (!CommandWrites(o->command, o->format))
      return prefix + Shown(o->output) + ": unknown kind of output (" + command->name + " writes " +
             FormatList(AllOf(o->command), ".") + ")";
    if (o->command != Command::Sections && o->inputs.size() > 1)
      return prefix + "one input and one output (several inputs: --output-dir DIR --format FMT)";
  }

  // Every option given applies to the format chosen.
  for (const std::string& name : o->given) {
    const OptionDecl* d = Find(name);
    if (!(d->formats[ci] & Bit(o->format)))
      return prefix + "option " + name + " does not apply to " + FormatExtension(o->format) +
             " output (only to " + FormatList(d->formats[ci], ".") + ")";
  }

  // A system PROJ cannot reach from the grid (a grid file it lacks, another planet) is
  // refused here, before any file is read or written.
  if (o->Given("--crs")) {
    CoordinateRule rule;
    if (std::string e = rule.Open(o->crs, o->datumShift); !e.empty()) return prefix + e;
  }

  // What each command needs beyond that.
  switch (o->command) {
    case Command::Plan:
      if (o->Given("--datum-shift") && o->format == Format::Csv && !o->wgs84)
        return prefix + "option --datum-shift goes with --wgs84 in a .csv output";
      if (o->format == Format::GeoJson && o->Given("--crs") && !CrsHasEpsgCode(o->crs))
        return prefix +
               "a .geojson output records EPSG systems only: give --crs EPSG:n, or "
               "write .gpkg for " +
               (o->crs == "none" ? "grid values without a system" : "this system");
      if (o->Given("--datum-shift") &&
          (o->format == Format::Gpkg || o->format == Format::GeoJson) &&
          !CrsIsWgs84Based(o->crs.empty() ? DefaultCrs(o->format) : o->crs))
        return prefix + "option --datum-shift applies to a WGS 84 based --crs only";
      break;
    case Command::Table:
      // --crs places the points of the kinds that hold positions; files of none of them
      // would be written as if it had not been given.
      if (o->Given("--crs") && !CrsPlacesAny(o->inputs))
        return prefix + "option --crs does not apply to " + Shown(o->inputs.front()) +
               " (its records hold no positions; --crs places those of .NEH .STN .CHG .SOL)";
      break;
    case Command::Sections:
      if (o->inputs.size() > 5) return prefix + "at most 5 SEC files are drawn together";
      if (!o->Given("--from")) return prefix + "--from NAME is needed";
      if (!o->Given("--horizontal") || !o->Given("--vertical"))
        return prefix + "--horizontal H and --vertical V are needed";
      break;
  }
  return {};
}

}  // namespace surveyexport
