// The lister's record listing: empty-record rules, the SEC header/offset grammar and the
// fixed listing masks of each kind.
#include "lister/lister_core.h"

#include <cmath>

namespace lister {

using toolkit::SurveyKind;

namespace {

constexpr const char* kDatHeading = R"m(PT.No.  H.A.       V.A.       DIST.     SIG.HT.  CODE)m";
constexpr const char* kNehHeading = R"m(PT.No.   NORTHINGS   EASTINGS     HEIGHT       CODE)m";
constexpr const char* kSecHeading = R"m(PT.No.  DISTANCE      HEIGHT      REMARKS)m";
constexpr const char* kStnHeading = R"m(PT.No.  STN. NAME    NORTHINGS    EASTINGS     HEIGHTS)m";
constexpr const char* kChgHeading =
    R"m(PT.No.  CHAINAGE  BEARINGS   NORTHINGS    EASTINGS    RADIUS)m";
constexpr const char* kPtsHeading = R"m(PT.No.    Item1/(N)    Item2/(E))m";

constexpr const char* kDatMask = R"m(####    ###.####  ###.####  ####.###    #.###     ###)m";
constexpr const char* kNehMask = R"m(####   #######.###  #######.###  ####.###     ###)m";
constexpr const char* kSecOffsetMask = R"m(####    ####.###    ####.###)m";
constexpr const char* kSecHeaderMask =
    R"m(####    \      \  ######.###  \                       \)m";
constexpr const char* kStnMask = R"m(####     \       \ #######.###  #######.###  #####.###)m";
constexpr const char* kChgMask =
    R"m(####  #####.###  #####.###  #######.###  #######.###  #####.###)m";
constexpr const char* kPtsMask = R"m(####      \        \   \        \)m";

constexpr const char* kBlockRemark = "    Block Name & Chainage";

// Largest record number that still counts in whole steps of one.
constexpr double kLargestRecord = 9007199254740992.0;  // 2^53

}  // namespace

void ResetRunState(ListerState& state) {
  const std::string keepName = state.fileName;
  state = ListerState{};
  state.fileName = keepName;
}

void SetKindFlag(ListerState& state, SurveyKind kind) {
  state.datFlag = kind == SurveyKind::Dat;
  state.nehFlag = kind == SurveyKind::Neh;
  state.secFlag = kind == SurveyKind::Sec;
  state.stnFlag = kind == SurveyKind::Stn;
  state.chgFlag = kind == SurveyKind::Chg;
  state.ptsFlag = kind == SurveyKind::Pts;
}

bool ChosenKind(const ListerState& state, SurveyKind& kind) {
  const double flags[] = {state.datFlag, state.nehFlag, state.secFlag,
                          state.stnFlag, state.chgFlag, state.ptsFlag};
  for (int i = 0; i < 6; ++i) {
    if (flags[i] == 1) {
      kind = kListedKinds[i];
      return true;
    }
  }
  return false;
}

std::string KindQuestion(SurveyKind kind) {
  // ".DAT" -> "DAT File (Y/N) "
  return std::string(toolkit::KindExtension(kind) + 1) + " File (Y/N) ";
}

const char* ColumnHeading(SurveyKind kind) {
  switch (kind) {
    case SurveyKind::Dat:
      return kDatHeading;
    case SurveyKind::Neh:
      return kNehHeading;
    case SurveyKind::Sec:
      return kSecHeading;
    case SurveyKind::Stn:
      return kStnHeading;
    case SurveyKind::Chg:
      return kChgHeading;
    case SurveyKind::Pts:
      return kPtsHeading;
    case SurveyKind::Sol:
      break;
  }
  return "";
}

const ListingMasks& Masks() {
  static const ListingMasks masks{
      toolkit::CompileMask(kDatMask),       toolkit::CompileMask(kNehMask),
      toolkit::CompileMask(kSecOffsetMask), toolkit::CompileMask(kSecHeaderMask),
      toolkit::CompileMask(kStnMask),       toolkit::CompileMask(kChgMask),
      toolkit::CompileMask(kPtsMask)};
  return masks;
}

std::string PrintableField(const toolkit::SurveyFile& file, int i) {
  std::string text = toolkit::FieldText(file, i);
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127)
      c = ' ';
    else if (u > 127)
      c = '?';
  }
  return text;
}

void FormatListingLine(SurveyKind kind, const toolkit::SurveyFile& file, double recordNumber,
                       bool secHeader, std::string& line) {
  line.clear();
  const ListingMasks& m = Masks();
  // DAT and CHG lines: the record number and the record's five binary fields.
  const auto FormatFiveBinary = [&](const toolkit::Mask& mask) {
    const toolkit::MaskValue v[] = {recordNumber,
                                    toolkit::FieldBinary(file, 1),
                                    toolkit::FieldBinary(file, 2),
                                    toolkit::FieldBinary(file, 3),
                                    toolkit::FieldBinary(file, 4),
                                    toolkit::FieldBinary(file, 5)};
    toolkit::FormatMask(mask, v, line);
  };
  switch (kind) {
    case SurveyKind::Dat:
      FormatFiveBinary(m.dat);
      break;
    case SurveyKind::Neh: {
      const toolkit::PackedHeight h = toolkit::DecodePackedHeight(toolkit::FieldBinary(file, 3));
      const toolkit::MaskValue v[] = {recordNumber, std::fabs(toolkit::FieldBinary(file, 1)),
                                      std::fabs(toolkit::FieldBinary(file, 2)), h.height, h.code};
      toolkit::FormatMask(m.neh, v, line);
      break;
    }
    case SurveyKind::Sec: {
      if (secHeader) {
        const std::string name = PrintableField(file, 1);
        const toolkit::MaskValue v[] = {recordNumber, std::string_view(name),
                                        toolkit::FieldNumber(file, 2), kBlockRemark};
        toolkit::FormatMask(m.secHeader, v, line);
      } else {
        const toolkit::MaskValue v[] = {recordNumber, toolkit::FieldNumber(file, 1),
                                        toolkit::FieldNumber(file, 2)};
        toolkit::FormatMask(m.secOffset, v, line);
      }
      break;
    }
    case SurveyKind::Stn: {
      const std::string name = PrintableField(file, 1);
      const toolkit::MaskValue v[] = {recordNumber, std::string_view(name),
                                      toolkit::FieldBinary(file, 2), toolkit::FieldBinary(file, 3),
                                      toolkit::FieldBinary(file, 4)};
      toolkit::FormatMask(m.stn, v, line);
      break;
    }
    case SurveyKind::Chg:
      FormatFiveBinary(m.chg);
      break;
    case SurveyKind::Pts: {
      const std::string item1 = PrintableField(file, 1);
      const std::string item2 = PrintableField(file, 2);
      const toolkit::MaskValue v[] = {recordNumber, std::string_view(item1),
                                      std::string_view(item2)};
      toolkit::FormatMask(m.pts, v, line);
      break;
    }
    case SurveyKind::Sol:
      break;
  }
}

bool ReadListingRecord(toolkit::SurveyFile& file, double r) {
  if (r >= 1 && r <= kLargestRecord) {
    // No file open reads as zeros too; only a failed read of an open file is a fault.
    const bool read = toolkit::ReadRecord(file, static_cast<std::int64_t>(r));
    // Only a record wholly in the file is listed: the bytes of a trailing partial record
    // would otherwise show as a point that was never stored.
    if (file.beyondEnd) file.record.fill(0);
    return read || file.handle == nullptr;
  }
  file.record.fill(0);
  return true;
}

bool ListRecord(ListerState& state, SurveyKind kind, const toolkit::SurveyFile& file,
                std::string& line) {
  const double r = state.currentRecord;
  if (kind == SurveyKind::Sec) {
    const double first = toolkit::FieldNumber(file, 1);
    const double second = toolkit::FieldNumber(file, 2);
    const bool bothZero = first == 0 && second == 0;
    if (state.expectHeader == 1) {
      if (bothZero && r > 1) return false;  // still waiting for the header
      FormatListingLine(kind, file, r, true, line);
      // A header named 999 is read as a terminator: the next record is a header again.
      state.expectHeader = first == 999 ? 1 : 0;
      return true;
    }
    if (bothZero) return false;
    FormatListingLine(kind, file, r, false, line);
    if (first == 999) {
      state.expectHeader = 1;
      state.emptyCount = 0;
    }
    return true;
  }
  if (kind != SurveyKind::Pts && toolkit::IsEmptyRecord(file)) return false;
  FormatListingLine(kind, file, r, false, line);
  return true;
}

bool EndsPrinterListing(SurveyKind kind, const toolkit::SurveyFile& file) {
  if (kind == SurveyKind::Pts) return false;
  if (kind == SurveyKind::Sec)
    return toolkit::FieldNumber(file, 1) == 0 && toolkit::FieldNumber(file, 2) == 0;
  // NEH: the easting and the packed height as stored, the rule that decides whether the
  // record printed; a point of height 0 with a code is a point and does not end it.
  return toolkit::IsEmptyRecord(file);
}

bool ListPage(ListerState& state, SurveyKind kind, toolkit::SurveyFile& file, LineSink sink,
              void* context) {
  const double first = state.currentRecord;
  std::string line;
  for (int i = 0; i < 20; ++i) {
    state.currentRecord = first + i;
    if (!ReadListingRecord(file, state.currentRecord)) {
      state.readFault = true;
      return true;
    }
    if (ListRecord(state, kind, file, line) && !sink(context, line)) return false;
  }
  return true;
}

bool ListInOnePass(ListerState& state, SurveyKind kind, toolkit::SurveyFile& file, LineSink sink,
                   void* context) {
  const double last = state.lastRecord;
  double r = state.currentRecord;
  // Every PTS record prints: records past the end of the file up to a typed end number
  // print as blank items, as on screen ("Enter to File end" stops at the file's end).
  if (kind == SurveyKind::Pts && r < 1) r = 1;
  std::string line;
  for (; r <= last; r += 1) {
    state.currentRecord = r;
    if (!ReadListingRecord(file, r)) {
      state.readFault = true;
      break;
    }
    if (ListRecord(state, kind, file, line) && !sink(context, line)) return false;
    if (EndsPrinterListing(kind, file)) {
      state.emptyCount += 1;
      if (kind != SurveyKind::Sec || state.emptyCount >= 20) break;
    }
    if (r + 1 == r) break;  // a start so far out that counting stands still
  }
  return true;
}

double WholeRecordNumber(double typed) {
  if (!std::isfinite(typed)) return typed;
  return std::nearbyint(typed);
}

}  // namespace lister
