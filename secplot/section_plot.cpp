// Reading and drawing one section of one SEC file, and one section page of all files.
//
// A SEC file is a run of sections: a header record (name, chainage), offset records
// (distance, height) in drawing order, then a terminator whose distance reads 999. Empty
// records (both numbers 0) may stand before the terminator; a height of 999.9 ends the
// drawing of a section early, and the records after it up to the terminator are passed
// over. The reader never goes past the file's record count while it looks ahead, so a
// file that ends in empty records cannot keep it reading zeros for ever. The count is the
// one taken when the file was opened: records appended since are not looked at, and a
// record within the count that is no longer in the file (cut since) is a read failure,
// like a record that could not be read, never the end of a section.
#include "secplot/section_plot.h"

#include <cctype>

namespace secplot {

namespace {

struct Point {
  double distance = 0, height = 0;
  bool Empty() const { return distance == 0 && height == 0; }
  bool Terminator() const { return distance == kTerminatorDistance; }
  bool EndMark() const { return Terminator() || height == kEndHeight; }
};

std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c == '\0') c = ' ';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

class FileCursor {
 public:
  explicit FileCursor(SectionFileEntry& entry) : entry_(entry) {}
  bool InFile(std::int64_t r) const {
    return r >= 1 && static_cast<double>(r) <= entry_.file.recordCount;
  }
  // Reads record r; false when the file could not be read, or when a record the file held
  // at opening is no longer wholly in it (the file was cut).
  bool Read(std::int64_t r) {
    if (!toolkit::ReadRecord(entry_.file, r)) return false;
    return !InFile(r) || !entry_.file.beyondEnd;
  }
  Point Current() const {
    return {toolkit::FieldNumber(entry_.file, 1), toolkit::FieldNumber(entry_.file, 2)};
  }
  toolkit::SurveyFile& File() { return entry_.file; }

 private:
  SectionFileEntry& entry_;
};

// An empty slot where a header is expected: both numbers 0 and no name in field 1 other
// than a written zero. (A header named "A" at chainage 0 also reads as two zeros.)
bool BlankSlot(FileCursor& cursor) {
  if (!cursor.Current().Empty()) return false;
  for (char c : toolkit::FieldText(cursor.File(), 1))
    if (c != ' ' && c != '\0' && c != '0' && c != '.' && c != '+' && c != '-') return false;
  return true;
}

enum class Header { Found, None, Unreadable };

// The name of the section that starts at record r or after the empty slots there, read
// without moving the current record number. None when the file ends first.
Header HeaderFrom(FileCursor& cursor, std::int64_t r, std::string& name) {
  for (; cursor.InFile(r); ++r) {
    if (!cursor.Read(r)) return Header::Unreadable;
    if (BlankSlot(cursor)) continue;
    name = SectionNameText(cursor.File());
    return Header::Found;
  }
  return Header::None;
}

}  // namespace

Colour FileColour(int k) {
  switch (k) {
    case 1:
      return RgbColour(255, 0, 0);
    case 2:
      return RgbColour(0, 255, 0);
    case 3:
      return RgbColour(0, 255, 255);
    case 4:
      return RgbColour(255, 255, 0);
    default:
      return RgbColour(0, 0, 255);
  }
}

int FilePenStyle(int k) {
  if (k >= 1 && k <= 5) return k - 1;
  return kSolid;
}

std::string PadName(std::string_view name) {
  std::string padded(name);
  if (padded.size() < 8) padded.resize(8, ' ');
  return padded;
}

bool SameSectionName(std::string_view a, std::string_view b) {
  const std::string ka = NameKey(a);
  return !ka.empty() && ka == NameKey(b);
}

std::string SectionNameText(const toolkit::SurveyFile& file) {
  std::string name = toolkit::FieldText(file, 1);
  name.resize(8, ' ');
  for (char& c : name)
    if (c == '\0') c = ' ';
  return name;
}

void SetSectionRange(SectionPlotState& state, std::string_view first, std::string_view last) {
  state.firstName = PadName(first);
  state.lastName = PadName(last);
  const bool same = NameKey(state.firstName) == NameKey(state.lastName);
  state.lastReached = same;
  state.lastPage = same;
}

SectionOutcome DrawFileSection(SectionPlotState& state, int k, std::string_view name,
                               SectionCanvas& canvas, const PageStyle& style) {
  SectionOutcome out;
  if (k < 1 || k > state.fileCount) {
    out.result = SectionResult::NotFound;
    return out;
  }
  SectionFileEntry& entry = state.files[k - 1];
  FileCursor cursor(entry);
  std::int64_t& r = entry.record;
  if (r < 1) r = 1;

  // Search: every record from the current one on is compared with the name.
  bool found = false;
  while (cursor.InFile(r)) {
    if (!cursor.Read(r++)) {
      out.result = SectionResult::ReadError;
      return out;
    }
    if (SameSectionName(toolkit::FieldText(cursor.File(), 1), name)) {
      found = true;
      break;
    }
  }
  if (!found) {
    out.result = SectionResult::NotFound;
    return out;
  }
  state.sectionName = SectionNameText(cursor.File());
  state.sectionChainage = toolkit::FieldTextTrimmed(cursor.File(), 2);
  state.sectionChainage.erase(0, state.sectionChainage.find_first_not_of(' '));

  // First point, after at most ten empty records.
  Point p;
  for (int empties = 0;; ++empties) {
    if (empties > kMaxEmptyBeforeFirstPoint) {
      out.result = SectionResult::FileError;
      return out;
    }
    if (!cursor.Read(r++)) {
      out.result = SectionResult::ReadError;
      return out;
    }
    p = cursor.Current();
    if (!p.Empty()) break;
  }

  const Colour colour = FileColour(k);
  const int pen = FilePenStyle(k);
  enum class End { Marker, Empty } end = End::Marker;
  bool endedByHeight = false;
  if (!p.EndMark()) canvas.Pixel(p.distance, p.height, colour);
  Point previous = p;
  for (;;) {
    if (p.EndMark()) {
      endedByHeight = !p.Terminator();
      break;
    }
    canvas.Line(previous.distance, previous.height, p.distance, p.height, colour, pen);
    if (entry.labels)
      canvas.Label(p.distance, p.height, LevelLabel(p.height), kHeightFont, colour,
                   style.labelBackground);
    previous = p;
    if (!cursor.Read(r++)) {
      out.result = SectionResult::ReadError;
      return out;
    }
    p = cursor.Current();
    if (p.Empty()) {
      end = End::Empty;
      break;
    }
  }

  if (state.lastReached) return out;  // the last page needs no next name

  std::string next;
  Header header = Header::None;
  if (end == End::Empty) {
    // Past the empty records there must be the terminator, then the next header.
    while (cursor.InFile(r)) {
      if (!cursor.Read(r)) {
        out.result = SectionResult::ReadError;
        return out;
      }
      if (!cursor.Current().Empty()) break;
      ++r;
    }
    if (!cursor.InFile(r)) return out;  // the file ends here
    if (!cursor.Current().Terminator()) {
      out.result = SectionResult::FileError;
      return out;
    }
    ++r;
    header = HeaderFrom(cursor, r, next);
  } else if (endedByHeight) {
    // A height of 999.9 ends the drawing, not the section in the file: the offset and
    // empty records left over belong to this section up to its terminator, and the next
    // header follows the terminator. A file that ends first holds no next section.
    while (cursor.InFile(r)) {
      if (!cursor.Read(r)) {
        out.result = SectionResult::ReadError;
        return out;
      }
      if (cursor.Current().Terminator()) break;
      ++r;
    }
    if (!cursor.InFile(r)) return out;
    ++r;
    header = HeaderFrom(cursor, r, next);
  } else {
    header = HeaderFrom(cursor, r, next);
  }
  if (header == Header::Unreadable) {
    out.result = SectionResult::ReadError;
    return out;
  }
  if (header == Header::Found) {
    out.nextNameRead = true;
    out.nextName = next;
    state.nextName = next;
    state.lastReached = SameSectionName(next, state.lastName);
  }
  return out;
}

PageResult DrawSectionPage(SectionPlotState& state, SectionCanvas& canvas, const PageStyle& style) {
  state.page = PageFor(state.horizScale, state.vertScale, state.x0, state.y0, style);
  SetUpPage(canvas, state.page, style);
  state.nextName.clear();
  state.failedFile = 0;
  if (state.fileCount == 0) {
    // No file was chosen: the page is the frame alone, titled with the requested name,
    // and there is no further section to page to.
    state.sectionName = state.firstName;
    state.sectionChainage.clear();
    state.lastReached = state.lastPage = true;
    return PageResult::Drawn;
  }
  for (int k = 1; k <= state.fileCount; ++k) {
    const SectionOutcome o = DrawFileSection(state, k, state.firstName, canvas, style);
    if (o.result != SectionResult::Drawn) state.failedFile = k;
    if (o.result == SectionResult::NotFound) return PageResult::WrongSection;
    if (o.result == SectionResult::FileError) return PageResult::FileError;
    if (o.result == SectionResult::ReadError) return PageResult::ReadError;
  }
  return PageResult::Drawn;
}

bool PageWasLast(SectionPlotState& state) {
  if (state.lastReached && state.lastPage) return true;
  if (state.lastReached) state.lastPage = true;
  state.firstName = state.nextName;
  return false;
}

}  // namespace secplot
