// The surveyexport command line: dispatches the first word to its command.
#include "export/cli.h"

#include "export/commands.h"
#include "export/export_common.h"

namespace surveyexport {

const char* UsageText() {
  return
      "Usage: surveyexport COMMAND [OPTIONS] INPUT... OUTPUT\n"
      "Survey files out to CAD, GIS and spreadsheets.\n"
      "\n"
      "  surveyexport plan NEH [--reference NEH] [--numbers] [--levels] [--crs CRS]\n"
      "                    [--datum-shift official|suite] [--2d] [--wgs84] [--overwrite] OUTPUT\n"
      "      The plan as plandra draws it: points and line work to DXF, GeoPackage, GeoJSON,\n"
      "      KML or CSV; with --scale N --paper SIZE a drawing at scale to PDF or SVG.\n"
      "\n"
      "  surveyexport table FILE [--crs CRS] [--overwrite] OUTPUT\n"
      "      Every record of a survey file (.DAT .NEH .SEC .STN .CHG .PTS .SOL) as one row\n"
      "      of a table, with the fields as brisel shows them, to CSV, GeoPackage or XLSX.\n"
      "      In a GeoPackage the rows of an NEH file are points.\n"
      "\n"
      "  surveyexport sections SEC [SEC ...] --from NAME --to NAME --horizontal H\n"
      "                    --vertical V [--heights] [--paper SIZE] [--overwrite] OUTPUT\n"
      "      Cross sections as sectra draws them, at true scale, to PDF, SVG or DXF.\n"
      "\n"
      "Options every command takes:\n"
      "  --output-dir DIR --format FMT\n"
      "                  several inputs in one call: one output for each input, named\n"
      "                  DIR/<input's name>.<fmt> (FMT: dxf gpkg geojson kml csv xlsx pdf svg)\n"
      "  --overwrite     replace an existing output (without it an existing file is kept\n"
      "                  and the export stops with an error)\n"
      "  --crs CRS       the coordinate system of the output: EPSG:nnnn, a PROJ string, WKT,\n"
      "                  or none (default EPSG:2326, the Hong Kong 1980 Grid)\n"
      "  --quiet         no progress bar on standard error\n"
      "  --help          this text\n"
      "\n"
      "The format follows the output's extension (.dxf .gpkg .geojson .kml .csv .xlsx\n"
      ".pdf .svg). An output is written under a temporary name beside it and renamed when\n"
      "complete: a failed or interrupted export leaves nothing under the output's name.\n"
      "\n"
      "Exit codes: 0 done; 1 a problem with an input or output (said in one line naming\n"
      "the file); 2 a usage error.\n";
}

int RunSurveyExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << UsageText();
    return kUsage;
  }
  const std::string& word = args.front();
  if (word == "--help" || word == "-h" || word == "help") {
    out << UsageText();
    return kDone;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  RegisterGdal();
  if (word == "plan") return RunPlanCommand(rest, out, err);
  if (word == "table") return RunTableCommand(rest, out, err);
  if (word == "sections") return RunSectionsCommand(rest, out, err);
  return UsageError(err, "unknown command '" + word + "' (plan, table or sections)");
}

}  // namespace surveyexport
