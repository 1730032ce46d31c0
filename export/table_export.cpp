// `surveyexport table`: survey records as table rows through GDAL.
#include "export/table_export.h"

#include "export/crs_rule.h"
#include "export/gdal_output.h"
#include "export/input_check.h"
#include "export/output_styles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <type_traits>

#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>

namespace surveyexport {
namespace fs = std::filesystem;
using toolkit::SurveyKind;

namespace {

// Progress is told every this many records.
constexpr std::int64_t kRecordsPerProgress = 4096;

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool Finite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// A text field as a name: up to its first zero byte (where brisel's text ends), without
// trailing blanks, control characters as blanks, bytes above 127 as Latin-1 letters, so
// that the text is valid UTF-8 whatever the file holds.
std::string FieldAsName(const toolkit::SurveyFile& file, int i) {
  std::string raw = toolkit::FieldText(file, i);
  const size_t zero = raw.find('\0');
  if (zero != std::string::npos) raw.resize(zero);
  while (!raw.empty() && raw.back() == ' ') raw.pop_back();
  std::string out;
  out.reserve(raw.size() * 2);
  for (char ch : raw) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      out += ' ';
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A name as valid UTF-8: a byte that does not start a well-formed UTF-8 letter is taken
// as a Latin-1 letter (file names written on older systems).
std::string ValidUtf8(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8LetterLength(text, i);
    if (length == 0) {
      out += static_cast<char>(0xC0 | (lead >> 6));
      out += static_cast<char>(0x80 | (lead & 0x3F));
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

// A worksheet name: at most 31 characters (whole UTF-8 letters), none of the
// letters []:*?/\ (Excel's rules).
std::string SheetName(const std::string& stem) {
  std::string name;
  int characters = 0;
  for (size_t i = 0; i < stem.size() && characters < 31; ++characters) {
    const auto lead = static_cast<unsigned char>(stem[i]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = std::min(length, stem.size() - i);
    if (length == 1 && std::string("[]:*?/\\").find(stem[i]) != std::string::npos)
      name += '_';
    else
      name += stem.substr(i, length);
    i += length;
  }
  if (name.empty()) return "records";
  // Excel also refuses an apostrophe at either end, and keeps "History" for itself.
  if (name.front() == '\'') name.front() = '_';
  if (name.back() == '\'') name.back() = '_';
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "history") name += '_';
  return name;
}

// A file of more rows than a worksheet holds.
std::string TooManyRowsLine(const TableOptions& o) {
  return Shown(o.input) + ": more than " + std::to_string(o.xlsxRowLimit) +
         " rows, more than a worksheet holds: write .csv or .gpkg instead";
}

// A GeoPackage table name from a file's name: GeoPackage names may not begin with a
// punctuation character nor with the prefix "gpkg" (any case).
std::string GpkgLayerName(std::string name) {
  if (name.empty()) return "records";
  if (std::string("`~!@#$%^&*()+-={}|[]\\:\";'<>?,./").find(name[0]) != std::string::npos)
    name[0] = '_';
  if (name.size() >= 4 && Upper(name.substr(0, 4)) == "GPKG") name = "_" + name;
  return name;
}

}  // namespace

bool SurveyKindOfPath(const std::string& path, SurveyKind* kind) {
  const std::string ext = Upper(fs::path(path).extension().string());
  for (SurveyKind k : {SurveyKind::Dat, SurveyKind::Neh, SurveyKind::Sec, SurveyKind::Stn,
                       SurveyKind::Chg, SurveyKind::Pts, SurveyKind::Sol}) {
    if (ext == toolkit::KindExtension(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

std::vector<TableColumn> TableColumns(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Neh:
      return {{"PT.", false},    {"NORTHINGS", false}, {"EASTINGS", false},
              {"HEIGHT", false}, {"CODE", false},      {"LINE", false}};
    case SurveyKind::Sec:
      return {{"PT.", false},
              {"SECTION", true},
              {"CHAINAGE", false},
              {"OFFSET", false},
              {"HEIGHT", false}};
    case SurveyKind::Dat:
      return {{"PT.", false},   {"H.A.", false},    {"V.A.", false},
              {"DIST.", false}, {"SIG.HT.", false}, {"CODE", false}};
    case SurveyKind::Stn:
      return {{"PT.", false},
              {"STN. NAME", true},
              {"NORTHINGS", false},
              {"EASTINGS", false},
              {"HEIGHTS", false}};
    case SurveyKind::Chg:
      return {{"PT.", false},       {"CHAINAGE", false}, {"BEARINGS", false},
              {"NORTHINGS", false}, {"EASTINGS", false}, {"RADIUS", false}};
    case SurveyKind::Pts:
      return {{"PT.", false}, {"Item1/(N)", true}, {"Item2/(E)", true}};
    case SurveyKind::Sol:
      return {{"PT.", false},
              {"CHAINAGE", false},
              {"NORTHINGS", false},
              {"EASTING", false},
              {"TAN BRG", false}};
  }
  return {};
}

// ---- Reading -------------------------------------------------------------------------

TableReader::~TableReader() { toolkit::CloseSurveyFile(file_); }

std::string TableReader::Open(const std::string& path, SurveyKind kind) {
  // The one input rule: a plain file holding a record, never a folder, pipe or device.
  if (std::string problem = CheckInput(path, kind, &input_); !problem.empty()) return problem;
  switch (toolkit::OpenSurveyFileNamed(file_, path, kind)) {
    case toolkit::OpenResult::Ok:
      break;
    case toolkit::OpenResult::Missing:
      return path + ": no such file";
    case toolkit::OpenResult::Unreadable:
      return path + ": cannot be read (not a readable file)";
  }
  // Only whole records are read: a trailing partial record is not one.
  count_ = static_cast<std::int64_t>(std::floor(file_.recordCount));
  next_ = 1;
  expectHeader_ = true;
  sectionName_.clear();
  sectionChainage_ = 0;
  problem_.clear();
  return {};
}

TableReader::Step TableReader::Next(TableRow* row) {
  const std::string& name = file_.fileName;
  while (next_ <= count_) {
    const std::int64_t r = next_++;
    if (!toolkit::ReadRecord(file_, r)) {
      problem_ = name + ": cannot be read at record " + std::to_string(r);
      return Step::Failed;
    }
    if (file_.beyondEnd) {
      problem_ = RecordGoneLine(name, r);
      return Step::Failed;
    }
    row->record = r;
    const bool empty = toolkit::IsEmptyRecord(file_);
    auto binary = [this](int i) { return toolkit::FieldBinary(file_, i); };
    switch (file_.kind) {
      case SurveyKind::Neh: {
        if (empty) continue;
        const double n = binary(1), e = binary(2), s = binary(3);
        if (!Finite({n, e, s})) return Step::Skipped;
        const toolkit::PackedHeight ph = toolkit::DecodePackedHeight(s);
        row->numbers[0] = std::fabs(n);
        row->numbers[1] = std::fabs(e);
        row->numbers[2] = HeightAsStored(ph);  // to the decimals the file holds
        row->numbers[3] = ph.code;
        row->numbers[4] = n < 0 ? 1 : 0;
        return Step::Row;
      }
      case SurveyKind::Dat:
      case SurveyKind::Chg: {
        if (empty) continue;
        for (int i = 0; i < 5; ++i) row->numbers[i] = binary(i + 1);
        if (!Finite({row->numbers[0], row->numbers[1], row->numbers[2], row->numbers[3],
                     row->numbers[4]}))
          return Step::Skipped;
        return Step::Row;
      }
      case SurveyKind::Sol: {
        if (empty) continue;
        for (int i = 0; i < 4; ++i) row->numbers[i] = binary(i + 1);
        if (!Finite({row->numbers[0], row->numbers[1], row->numbers[2], row->numbers[3]}))
          return Step::Skipped;
        return Step::Row;
      }
      case SurveyKind::Stn: {
        if (empty) continue;
        row->texts[0] = FieldAsName(file_, 1);
        for (int i = 0; i < 3; ++i) row->numbers[i] = binary(i + 2);
        if (!Finite({row->numbers[0], row->numbers[1], row->numbers[2]})) return Step::Skipped;
        return Step::Row;
      }
      case SurveyKind::Pts:
        row->texts[0] = FieldAsName(file_, 1);
        row->texts[1] = FieldAsName(file_, 2);
        return Step::Row;
      case SurveyKind::Sec: {
        if (expectHeader_) {
          // An empty record where a header is expected is passed over (record 1 is always
          // a header); a terminator there ends nothing and a header is expected again.
          if (empty && r > 1) continue;
          if (toolkit::IsSecTerminator(file_)) continue;
          expectHeader_ = false;
          sectionName_ = FieldAsName(file_, 1);
          sectionChainage_ = toolkit::FieldNumber(file_, 2);
          // A chainage that is no number leaves the section's rows without one.
          if (!std::isfinite(sectionChainage_)) return Step::Skipped;
          continue;
        }
        if (empty) continue;
        if (toolkit::IsSecTerminator(file_)) {
          expectHeader_ = true;
          continue;
        }
        row->texts[0] = sectionName_;
        row->numbers[0] = sectionChainage_;
        row->numbers[1] = toolkit::FieldNumber(file_, 1);
        row->numbers[2] = toolkit::FieldNumber(file_, 2);
        if (!Finite({row->numbers[1], row->numbers[2]})) return Step::Skipped;
        return Step::Row;
      }
    }
  }
  return Step::End;
}

// ---- Writing -------------------------------------------------------------------------

namespace {

// Where a kind's rows hold a position: the indexes into TableRow::numbers of the northing,
// the easting and the height (-1: none).
struct PointColumns {
  int northing = -1, easting = -1, height = -1;
};
PointColumns PointColumnsOf(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Neh:
      return {0, 1, 2};  // NORTHINGS, EASTINGS, HEIGHT
    case SurveyKind::Stn:
      return {0, 1, 2};  // NORTHINGS, EASTINGS, HEIGHTS after the name
    case SurveyKind::Chg:
      return {2, 3, -1};  // CHAINAGE, BEARINGS, NORTHINGS, EASTINGS
    case SurveyKind::Sol:
      return {1, 2, -1};  // CHAINAGE, NORTHINGS, EASTING
    default:
      return {};
  }
}

}  // namespace

bool KindHasPositions(SurveyKind kind) { return PointColumnsOf(kind).northing >= 0; }

bool CrsPlacesAny(const std::vector<std::string>& inputs) {
  return std::any_of(inputs.begin(), inputs.end(), [](const std::string& input) {
    SurveyKind kind;
    return !SurveyKindOfPath(input, &kind) || KindHasPositions(kind);
  });
}

std::string ExportTable(const TableOptions& options, TableSummary* summary) {
  *summary = TableSummary{};
  RegisterGdal();
  GdalErrorCapture gdalErrors;

  SurveyKind kind;
  if (!SurveyKindOfPath(options.input, &kind)) {
    return options.input +
           ": not a survey file (the name must end in .DAT .NEH .SEC .STN .CHG .PTS or .SOL)";
  }
  const Format format = FormatFromPath(options.output);
  if (format != Format::Csv && format != Format::Gpkg && format != Format::Xlsx) {
    return options.output + ": unknown kind of output (table writes .csv, .gpkg or .xlsx)";
  }
  // In a GeoPackage the rows that hold a position are points: the survey's points (NEH)
  // and its control (STN with the station's height, CHG and SOL on the ground plane).
  const PointColumns place = PointColumnsOf(kind);
  const bool points = format == Format::Gpkg && place.northing >= 0;
  SpatialRef srs;
  CoordinateRule rule;
  if (points) {
    // The points in --crs, transformed from the grid.
    if (std::string problem = rule.Open(options.crs, DatumShift::Official); !problem.empty())
      return problem;
    srs.reset(OSRClone(rule.Srs()));
    summary->transformed = !rule.Identity();
  }

  TableReader reader;
  if (std::string problem = reader.Open(options.input, kind); !problem.empty()) return problem;
  // A worksheet's rows are counted before anything is written: a file of more rows is
  // refused at once rather than after the work. Rows are no more than records; only a
  // file of more records than that is read through to count them.
  if (format == Format::Xlsx && reader.RecordCount() > options.xlsxRowLimit) {
    std::int64_t rows = 0;
    TableReader counter;
    if (std::string problem = counter.Open(options.input, kind); !problem.empty()) return problem;
    TableRow row;
    for (TableReader::Step step; (step = counter.Next(&row)) != TableReader::Step::End;) {
      if (step == TableReader::Step::Failed) return counter.Problem();
      if (step == TableReader::Step::Row) ++rows;
    }
    if (rows > options.xlsxRowLimit) return TooManyRowsLine(options);
  }

  PendingOutput pending;
  if (std::string problem = pending.Reserve(options.output, options.overwrite); !problem.empty())
    return problem;

  // Every write, commit and the close checked (GdalOutput); GDAL's messages are kept.
  GdalOutput out;
  if (std::string problem = out.Create(format, pending); !problem.empty()) return problem;

  // The input's name; with the kind added where the output's name has it (ROAD.CHG beside
  // ROAD.SEC under --output-dir: ROAD-CHG), so that the tables of a folder differ.
  std::string named = fs::path(options.input).stem().string();
  if (fs::path(options.output).stem().string() == KindStem(options.input))
    named = KindStem(options.input);
  const std::string stem = ValidUtf8(named);
  const std::string layerName = format == Format::Xlsx   ? SheetName(stem)
                                : format == Format::Gpkg ? GpkgLayerName(stem)
                                                         : (stem.empty() ? "records" : stem);
  CPLStringList layerOptions;
  if (format == Format::Csv) layerOptions.SetNameValue("STRING_QUOTING", "IF_NEEDED");
  if (points && !rule.Origin().empty())
    layerOptions.SetNameValue("DESCRIPTION", rule.Origin().c_str());
  OGRLayerH layer = out.CreateLayer(layerName.c_str(), points ? srs.get() : nullptr,
                                    points ? (place.height >= 0 ? wkbPoint25D : wkbPoint) : wkbNone,
                                    layerOptions.List());
  if (layer == nullptr) return out.Failure();

  // CSV numbers are written as the shortest text that reads back as the same double;
  // GDAL's own real formatting keeps 15 digits.
  const std::vector<TableColumn> columns = TableColumns(kind);
  // The NEH code and line marker are whole by their decoding: integers. A GeoPackage's
  // fields are named as a GIS user types them ("STN. NAME" as stn_name); CSV and XLSX keep
  // brisel's headings.
  std::vector<bool> whole(columns.size(), false);
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string heading = columns[i].name;
    whole[i] = i == 0 || (kind == SurveyKind::Neh && (heading == "CODE" || heading == "LINE"));
    OGRFieldType type = whole[i] ? OFTInteger64 : OFTReal;
    if (i > 0 && (columns[i].text || format == Format::Csv)) type = OFTString;
    const std::string name = format == Format::Gpkg ? GisFieldName(heading) : heading;
    OGRFieldDefnH field = OGR_Fld_Create(name.c_str(), type);
    const OGRErr made = OGR_L_CreateField(layer, field, TRUE);
    OGR_Fld_Destroy(field);
    if (made != OGRERR_NONE) return out.Failure();
  }

  if (std::string problem = out.Begin(); !problem.empty()) return problem;

  const std::int64_t total = reader.RecordCount();
  if (options.progress) options.progress(0.0);
  std::int64_t nextProgress = kRecordsPerProgress;
  TableRow row;
  const std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, void (*)(OGRFeatureH)> made(
      OGR_F_Create(OGR_L_GetLayerDefn(layer)), OGR_F_Destroy);
  OGRFeatureH feature = made.get();
  for (;;) {
    const TableReader::Step step = reader.Next(&row);
    if (step == TableReader::Step::End) break;
    if (step == TableReader::Step::Failed) return reader.Problem();
    if (reader.NextRecord() > nextProgress && options.progress) {
      nextProgress = reader.NextRecord() + kRecordsPerProgress;
      if (!options.progress(static_cast<double>(reader.NextRecord() - 1) / total))
        return options.output + ": stopped";
    }
    if (step == TableReader::Step::Skipped) {
      ++summary->skipped;
      if (summary->firstSkipped.size() < 5) summary->firstSkipped.push_back(row.record);
      continue;
    }
    if (format == Format::Xlsx && summary->written >= options.xlsxRowLimit)
      return TooManyRowsLine(options);
    OGR_F_SetFID(feature, OGRNullFID);
    OGR_F_SetFieldInteger64(feature, 0, row.record);
    int numberIndex = 0, textIndex = 0;
    for (size_t i = 1; i < columns.size(); ++i) {
      const int field = static_cast<int>(i);
      if (columns[i].text) {
        OGR_F_SetFieldString(feature, field, row.texts[textIndex++].c_str());
        continue;
      }
      const double v = row.numbers[numberIndex++];
      if (!std::isfinite(v))
        OGR_F_SetFieldNull(feature, field);
      else if (format == Format::Csv)
        OGR_F_SetFieldString(feature, field, ExactText(v).c_str());
      else if (whole[i] && std::fabs(v) >= 9.2e18)
        OGR_F_SetFieldNull(feature, field);  // no integer holds it
      else if (whole[i])
        OGR_F_SetFieldInteger64(feature, field, static_cast<GIntBig>(v));
      else
        OGR_F_SetFieldDouble(feature, field, v);
    }
    if (points) {
      double x = 0, y = 0;
      if (!rule.Place(row.numbers[place.easting], row.numbers[place.northing], x, y)) {
        ++summary->skipped;
        if (summary->firstSkipped.size() < 5) summary->firstSkipped.push_back(row.record);
        continue;
      }
      OGRGeometryH point = OGR_G_CreateGeometry(place.height >= 0 ? wkbPoint25D : wkbPoint);
      if (place.height >= 0)
        OGR_G_SetPoint(point, 0, x, y, row.numbers[place.height]);
      else
        OGR_G_SetPoint_2D(point, 0, x, y);
      OGR_F_SetGeometryDirectly(feature, point);
    }
    if (std::string problem = out.Write(layer, feature); !problem.empty()) {
      return problem + " (at record " + std::to_string(row.record) + ")";
    }
    ++summary->written;
  }
  if (std::string problem = out.Commit(); !problem.empty()) return problem;

  // A file cut or changed while it was read; one that gave no row.
  if (std::string problem = reader.Unchanged(); !problem.empty()) return problem;
  if (summary->written == 0) return NothingToExportLine(options.input, total, summary->skipped);

  // Some writers (XLSX) write the file only when it is closed.
  if (std::string problem = out.Finish(); !problem.empty()) return problem;
  if (std::string problem = pending.Commit(); !problem.empty()) return problem;
  if (options.progress) options.progress(1.0);
  return {};
}

std::string SummaryLine(const TableOptions& options, const TableSummary& summary) {
  std::string line = Shown(options.input) + " -> " + Shown(options.output) + ": " +
                     std::to_string(summary.written) +
                     (summary.written == 1 ? " record written, " : " records written, ") +
                     std::to_string(summary.skipped) + " skipped";
  if (summary.skipped > 0) {
    line += summary.transformed ? " (not a number, infinite or beyond the reach of --crs: record"
                                : " (not a number or infinite: record";
    line += summary.skipped == 1 ? " " : "s ";
    for (size_t i = 0; i < summary.firstSkipped.size(); ++i) {
      if (i > 0) line += ", ";
      line += std::to_string(summary.firstSkipped[i]);
    }
    if (summary.skipped > static_cast<std::int64_t>(summary.firstSkipped.size())) line += ", ...";
    line += ")";
  }
  return line;
}

}  // namespace surveyexport
