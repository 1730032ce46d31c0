#pragma once
// Pieces every surveyexport command shares: output formats, progress on the terminal,
// outputs that are complete or absent, output names for several inputs, and the
// coordinate reference system of an output.

#include <signal.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <ogr_srs_api.h>

namespace surveyexport {

enum ExitCode { kDone = 0, kFailed = 1, kUsage = 2 };

enum class Format { Unknown, Dxf, Gpkg, GeoJson, Kml, Csv, Xlsx, Pdf, Svg };

// The format an output name asks for, by its extension in any letter case
// (".dxf", ".gpkg", ".geojson" or ".json", ".kml", ".csv", ".xlsx", ".pdf", ".svg").
Format FormatFromPath(const std::string& path);
// The value of --format: dxf gpkg geojson kml csv xlsx pdf svg, any letter case.
Format FormatFromName(const std::string& name);
// ".dxf", ".gpkg", ...; "" for Unknown.
const char* FormatExtension(Format);
// GDAL's driver for a format; nullptr for PDF, SVG and Unknown (drawn by Qt, not GDAL).
const char* GdalDriverName(Format);

// Progress 0..1; returns false to stop.
using Progress = std::function<bool(double)>;

// A file name as it stands in a message: control characters (a newline, a tab, an escape)
// as \n, \t or \xHH and a backslash as \\, so that every message stays one line; a byte
// that is no part of a UTF-8 letter (a Latin-1 name) as \xHH too.
std::string Shown(const std::string& name);
// The length in bytes of the whole UTF-8 letter that starts at text[i] (1 for ASCII, 2 to
// 4), or 0 where none does (a Latin-1 byte, a letter cut short).
std::size_t Utf8LetterLength(const std::string& text, std::size_t i);

// Writes "surveyexport: LINE" on `err` and returns kFailed.
int ReportProblem(std::ostream& err, const std::string& line);
// Writes "surveyexport: LINE" and "Try 'surveyexport --help'." on `err`, returns kUsage.
int UsageError(std::ostream& err, const std::string& line);

// Holds the terminating signals back while alive (the moves of a commit, and what must
// go with them, are not cut in half); one that came meanwhile is delivered when it ends.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// An output written beside its target under a temporary name with the same extension,
// renamed over the target by Commit(); removed when destroyed without Commit (a failed or
// interrupted export leaves nothing under the output's name). Commit first flushes what was
// written to the disk (the file, then the folder after the rename), so that a crash or a
// power cut right after it cannot leave a short file under the target's name.
//
// An output of several files (the SVG pages of a run of sections) is one set: its files are
// written into one hidden folder beside the targets and moved into place together by
// Commit; when one of them cannot be moved, those already moved are taken back (an older
// file of that name is restored), so the set is complete or absent.
//
// Every terminating signal (Ctrl+C, a hang-up, termination, a closed pipe) removes whatever
// is pending, however many files a set holds, and ends the program by that signal; a
// signal that was ignored when the program started (nohup) stays ignored. The signal of a
// file grown past the size limit is ignored, so that the write itself fails and says so.
class PendingOutput {
 public:
  PendingOutput() = default;
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();

  // Empty string on success; otherwise one line naming the file, without the program's
  // prefix ("... exists: use --overwrite", "cannot write to folder ...").
  std::string Reserve(const std::string& target, bool overwrite);
  // A set of files named after `output` (its folder and its name): empty on success,
  // otherwise one line as above. Its files are added with AddToSet.
  std::string ReserveSet(const std::string& output, bool overwrite);
  // Adds one file of the set: *path is where to write it. Empty on success; otherwise one
  // line ("NAME-2.svg exists: use --overwrite").
  std::string AddToSet(const std::string& target, std::string* path);
  // The name to write to: beside the target, hidden, with the target's extension (for a
  // set, the hidden folder). A single file does not exist yet when Reserve returns.
  const std::string& TempPath() const { return temp_; }
  const std::string& Target() const { return target_; }
  // Moves the written file(s) onto the target(s). Empty on success, else one line as above.
  std::string Commit();
  // Removes what was written so far; the target is left as it was.
  void Discard();

 private:
  struct Member {
    std::string temp, target;
  };
  std::string target_;
  std::string temp_;
  std::vector<Member> members_;  // the files of a set
  bool set_ = false;
  bool overwrite_ = false;
  bool pending_ = false;
  int slot_ = -1;
};

// The line for a write that failed: "cannot write NAME: WHY" (WHY from the error number,
// "No space left on device", "File too large"; left out when 0).
std::string CannotWrite(const std::string& target, int error);

// Sets up the handling of terminating signals described at PendingOutput (done by the
// first Reserve; a program calls it early to have it in force from its start).
void HandleTerminatingSignals();

// Several inputs in one call: `--output-dir DIR --format FMT` gives one output an input,
// DIR/<input's base name without its extension><extension of FMT>.
std::string OutputPathFor(const std::string& input, const std::string& dir, Format);
// The last part of a path: "out/ROAD.svg" -> "ROAD.svg".
std::string BaseName(const std::string& path);
// An input's base name with its kind, as two inputs of one base name are told apart in
// their outputs' names: ROAD.SEC -> "ROAD-SEC" (the base name alone without an extension).
std::string KindStem(const std::string& input);

// The shortest text that reads back as the same double (CSV fields, DXF numbers).
std::string ExactText(double v);

// An input with the output it is written to.
struct ExportJob {
  std::string input;
  std::string output;
};
// The outputs of several inputs under `--output-dir DIR --format FMT`. Two inputs of one
// base name and kind (a/SITE.NEH, b/SITE.NEH) would write one output: that is refused,
// with the line that says so; empty otherwise. Inputs of one base name but different
// kinds (ROAD.SEC, ROAD.CHG) are written to DIR/ROAD-SEC<ext>, DIR/ROAD-CHG<ext>.
std::string JobsInFolder(const std::vector<std::string>& inputs, const std::string& dir,
                         Format format, std::vector<ExportJob>& jobs);

// A spatial reference that releases itself.
struct SpatialRefRelease {
  void operator()(OGRSpatialReferenceH h) const { OSRRelease(h); }
};
using SpatialRef = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, SpatialRefRelease>;

// Opens a CRS given as EPSG:nnnn, a PROJ string, WKT, or "none" (a null reference).
// Returns "" on success, else one line naming the text ("unknown CRS 'EPSG:99999'").
// Coordinates are taken easting first, northing second (GIS order), whatever the
// axis order the authority defines. The caller releases *out with OSRRelease.
std::string ParseCrs(const std::string& text, OGRSpatialReferenceH* out);
// The same, holding the result in a SpatialRef.
std::string ParseCrs(const std::string& text, SpatialRef* out);

// Registers GDAL's drivers once; every command calls it before opening a driver.
void RegisterGdal();

// While alive, GDAL's own error and warning messages are kept instead of being printed,
// so that a problem is said in the command's one line; Last() gives the last error.
class GdalErrorCapture {
 public:
  GdalErrorCapture();
  ~GdalErrorCapture();
  GdalErrorCapture(const GdalErrorCapture&) = delete;
  GdalErrorCapture& operator=(const GdalErrorCapture&) = delete;
  // The last error GDAL reported ("" when none), on one line.
  const std::string& Last() const { return last_; }
  void Clear() { last_.clear(); }
  void Keep(std::string line) { last_ = std::move(line); }

 private:
  std::string last_;
  GdalErrorCapture* previous_ = nullptr;
};

// The Hong Kong 1980 Grid, the suite's Grid80 projection.
inline constexpr const char* kDefaultCrs = "EPSG:2326";
// The system of a format's coordinates when --crs is not given: GeoJSON and KML hold
// longitudes and latitudes on WGS 84, the others the grid.
inline const char* DefaultCrs(Format f) {
  return f == Format::GeoJson || f == Format::Kml ? "EPSG:4326" : kDefaultCrs;
}

}  // namespace surveyexport
