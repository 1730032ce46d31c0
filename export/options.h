#pragma once
// The options record of a surveyexport command and the one parser that fills it.
//
// Every option is declared once, in a table that says which commands take it, which
// output formats it applies to, whether it takes a value, and its help line; the parser
// and the help text are both made from that table, so that one rule holds for every
// command:
//   --name=value and --name value; "--" ends the options; -q and -h are the short forms;
//   a flag given a value, an option the command does not take, and an option that does
//   not apply to the chosen output format are usage errors naming the option (and the
//   format); every usage error is one line "surveyexport: COMMAND: ..." and exit 2.
// The output format is settled after the words are parsed: from --format with
// --output-dir, otherwise from the output's extension.
#include <string>
#include <vector>

#include "export/export_common.h"
#include "export/plan_export.h"

namespace surveyexport {

enum class Command { Plan, Table, Sections };

struct ExportOptions {
  Command command = Command::Plan;
  bool help = false;  // --help: nothing else is done

  // Inputs and outputs.
  std::vector<std::string> inputs;
  std::string output;     // the one output; empty with --output-dir
  std::string outputDir;  // --output-dir: one output an input (sections: one drawing)
  Format format = Format::Unknown;
  bool overwrite = false;
  bool quiet = false;  // no progress bar; summaries and problems are still said

  // The coordinate system of the coordinates written: --crs (empty: the format's own
  // default) and the way into WGS 84 where the system is based on it.
  std::string crs;
  DatumShift datumShift = DatumShift::Official;

  // plan
  std::string reference;
  bool numbers = false, levels = false;
  bool flat = false;   // --2d
  bool wgs84 = false;  // CSV: latitude and longitude columns
  // plan to paper
  double scale = 0;   // N of 1:N; 0: the largest standard scale that fits
  std::string paper;  // empty: the command's default (plan A3, sections A4)
  bool portrait = false;
  bool haveView = false;
  double view[4] = {0, 0, 0, 0};  // E1, N1, E2, N2

  // sections
  std::string from, to;
  double horizontal = 0, vertical = 0;
  bool heights = false, fit = false;

  // Where the progress of each export goes (0..1; false stops it, and the output is then
  // left as if never begun). Empty: the terminal bar on the error stream.
  Progress progress;

  // The options given, by their long names, in the order given.
  std::vector<std::string> given;
  bool Given(const char* name) const;
};

// The words of a command line (after the program's name) into `options`. Empty when they
// make a command; otherwise the usage error's one line (without the program's prefix).
std::string ParseCommandLine(const std::vector<std::string>& args, ExportOptions* options);

// The help text of the program (every command) and of one command.
std::string ProgramUsage();
std::string CommandUsage(Command command);
const char* CommandName(Command command);

// The formats a command writes, and whether a format is one of them.
bool CommandWrites(Command command, Format format);

}  // namespace surveyexport
