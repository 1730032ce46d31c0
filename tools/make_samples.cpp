// Writes the suite's sample survey files: a small Hong Kong grid site survey with its
// reference points, a road with cross sections of three surveys, traverse observations,
// control stations, chainages, a point list and a setting-out (SOL) file.
//
//   make_samples FOLDER          writes the files into FOLDER
//   make_samples --check FOLDER  compares FOLDER's files with what would be written
//
// The files are byte-for-byte the same on every run (no clock, no random numbers).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "tools/survey_writer.h"

namespace {

using surveywriter::Field;
using surveywriter::Record;

struct SampleFile {
  std::string name;
  int recordLength = 0;
  std::vector<Record> records;
};

std::string Bytes(const SampleFile& f) {
  std::string out;
  if (!surveywriter::SurveyFileBytes(f.records, f.recordLength, &out)) {
    std::fprintf(stderr, "%s: a record is longer than %d bytes\n", f.name.c_str(), f.recordLength);
    std::exit(1);
  }
  return out;
}

// A text number of 8 characters, right-aligned, as the suite's writers store them.
std::string Text(double v, int decimals = 3) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%8.*f", decimals, v);
  std::string s(buf);
  if (s.size() > 8) {
    std::snprintf(buf, sizeof buf, "%8.*f", decimals > 0 ? decimals - 1 : 0, v);
    s = buf;
  }
  return s.substr(0, 8);
}

double Pack(double height, int code) { return surveywriter::PackHeight(height, code); }

double Round3(double v) { return std::round(v * 1000.0) / 1000.0; }

// Ground level of the site: rises from about 12 m in the south-west to 28 m in the
// north-east, with a gentle fold.
double Ground(double n, double e) {
  return Round3(12.0 + (n - 820000.0) * 0.035 + (e - 836000.0) * 0.02 +
                1.5 * std::sin((e - 836000.0) / 40.0));
}

constexpr double kN0 = 820000.0;
constexpr double kE0 = 836000.0;

// One NEH point; line says where it stands in a line: 0 single point, 1 first vertex,
// 2 middle vertex, 3 last vertex. The first and last vertex carry the negative northing.
Record NehPoint(double n, double e, double h, int code, int line) {
  const double north = (line == 1 || line == 3) ? -Round3(n) : Round3(n);
  return {north, Round3(e), Pack(h, code)};
}

void AddLine(std::vector<Record>& out, const std::vector<std::pair<double, double>>& pts, int code,
             double heightAbove = 0) {
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const int where = i == 0 ? 1 : (i + 1 == pts.size() ? 3 : 2);
    const auto [n, e] = pts[i];
    out.push_back(NehPoint(n, e, Ground(n, e) + heightAbove, code, where));
  }
}

std::vector<std::pair<double, double>> Rectangle(double n, double e, double dn, double de) {
  return {{n, e}, {n + dn, e}, {n + dn, e + de}, {n, e + de}, {n, e}};
}

// Road centreline across the site: a straight, then a curve to the north-east.
void RoadPoint(double t, double& n, double& e, double& bearingDeg) {
  // t: metres along the road from its start at the south-west corner.
  const double pi = 3.14159265358979323846;
  const double b0 = 60.0 * pi / 180.0;  // bearing of the first straight (from north)
  if (t <= 150.0) {
    n = kN0 + 40.0 + t * std::cos(b0);
    e = kE0 + 20.0 + t * std::sin(b0);
    bearingDeg = 60.0;
    return;
  }
  const double radius = 250.0;
  const double a = (t - 150.0) / radius;  // turning left
  const double nStart = kN0 + 40.0 + 150.0 * std::cos(b0);
  const double eStart = kE0 + 20.0 + 150.0 * std::sin(b0);
  // centre lies to the left of the direction of travel
  const double nc = nStart + radius * std::cos(b0 - pi / 2);
  const double ec = eStart + radius * std::sin(b0 - pi / 2);
  const double b = b0 - a;
  n = nc - radius * std::cos(b - pi / 2);
  e = ec - radius * std::sin(b - pi / 2);
  bearingDeg = b * 180.0 / pi;
}

// Degrees as the packed decimal d.mmss the field books use.
double Dms(double degrees) {
  double d = std::floor(degrees);
  double m = std::floor((degrees - d) * 60.0);
  double s = std::round(((degrees - d) * 60.0 - m) * 60.0);
  if (s >= 60) {
    s -= 60;
    m += 1;
  }
  if (m >= 60) {
    m -= 60;
    d += 1;
  }
  return d + m / 100.0 + s / 10000.0;
}

SampleFile SiteNeh() {
  SampleFile f{"SITE.NEH", 24, {}};
  auto& r = f.records;
  // Spot levels on a 25 m grid (code 1: spot level).
  for (int i = 0; i <= 8; ++i)
    for (int j = 0; j <= 10; ++j) {
      const double n = kN0 + 10.0 + i * 25.0;
      const double e = kE0 + 10.0 + j * 25.0 + (i % 2) * 7.0;
      r.push_back(NehPoint(n, e, Ground(n, e), 1, 0));
    }
  // Road kerbs on both sides of the centreline (code 21 and 22), 4 m off.
  std::vector<std::pair<double, double>> left, right, centre;
  for (double t = 0; t <= 260.0; t += 20.0) {
    double n, e, b;
    RoadPoint(t, n, e, b);
    const double rad = b * 3.14159265358979323846 / 180.0;
    left.push_back({n + 4.0 * std::sin(rad), e - 4.0 * std::cos(rad)});
    right.push_back({n - 4.0 * std::sin(rad), e + 4.0 * std::cos(rad)});
    centre.push_back({n, e});
  }
  AddLine(r, left, 21);
  AddLine(r, right, 21);
  AddLine(r, centre, 5);  // road centreline, blue
  // Three buildings (code 10), each closed back to its first corner.
  AddLine(r, Rectangle(kN0 + 140.0, kE0 + 30.0, 30.0, 45.0), 10, 0.15);
  AddLine(r, Rectangle(kN0 + 15.0, kE0 + 170.0, 25.0, 60.0), 10, 0.15);
  AddLine(r, Rectangle(kN0 + 60.0, kE0 + 200.0, 20.0, 35.0), 10, 0.15);
  // Retaining wall (code 12, dotted) and the site fence (code 33, dash-dot).
  AddLine(r, {{kN0 + 120.0, kE0 + 5.0}, {kN0 + 125.0, kE0 + 60.0}, {kN0 + 118.0, kE0 + 110.0}}, 12,
          1.2);
  AddLine(
      r,
      {{kN0, kE0}, {kN0 + 210.0, kE0}, {kN0 + 210.0, kE0 + 270.0}, {kN0, kE0 + 270.0}, {kN0, kE0}},
      33);
  // A surface channel (code 44, dash-dot-dot) with its invert below ground.
  std::vector<std::pair<double, double>> channel;
  for (int k = 0; k <= 6; ++k) channel.push_back({kN0 + 200.0 - k * 28.0, kE0 + 255.0 - k * 3.0});
  AddLine(r, channel, 44, -0.6);
  // Trees (code 7), single points.
  const double trees[][2] = {{60, 120}, {68, 131}, {75, 118}, {180, 95}, {186, 150}, {30, 250}};
  for (const auto& t : trees)
    r.push_back(NehPoint(kN0 + t[0], kE0 + t[1], Ground(kN0 + t[0], kE0 + t[1]), 7, 0));
  // A point below datum in the channel outfall, and an unused slot at the end.
  r.push_back(NehPoint(kN0 + 2.0, kE0 + 238.0, -0.45, 3, 0));
  r.push_back({0.0, 0.0, 0.0});
  return f;
}

SampleFile SiteRefNeh() {
  SampleFile f{"SITEREF.NEH", 24, {}};
  auto& r = f.records;
  // Lot boundary from the land record (code 0), and the control points of the site.
  const std::vector<std::pair<double, double>> lot = {
      {kN0 - 5.0, kE0 - 5.0},     {kN0 + 215.0, kE0 - 5.0},   {kN0 + 215.0, kE0 + 140.0},
      {kN0 + 225.0, kE0 + 140.0}, {kN0 + 225.0, kE0 + 276.0}, {kN0 - 5.0, kE0 + 276.0},
      {kN0 - 5.0, kE0 - 5.0}};
  AddLine(r, lot, 0);
  const double control[][3] = {{-12.0, -15.0, 11.874},
                               {230.0, -10.0, 19.553},
                               {235.0, 290.0, 27.902},
                               {-10.0, 285.0, 18.217}};
  for (const auto& c : control) r.push_back(NehPoint(kN0 + c[0], kE0 + c[1], c[2], 90, 0));
  return f;
}

// Cross sections A to F across the road every 20 m of chainage. kind 0: the survey,
// 1: the design, 2: the ground before the works.
SampleFile RoadSec(const std::string& name, int kind) {
  SampleFile f{name, 16, {}};
  auto& r = f.records;
  const char* names[] = {"A", "B", "C", "D", "E", "F"};
  const double offsets[] = {-15.0, -12.0, -8.0, -4.5, -4.0, 0.0, 4.0, 4.5, 8.0, 12.0, 15.0};
  for (int s = 0; s < 6; ++s) {
    const double chainage = 1000.0 + 20.0 * s;
    r.push_back({std::string(names[s]), Text(chainage)});
    const double base = 18.0 + 0.6 * s;  // road rises along its length
    for (double x : offsets) {
      double h;
      if (kind == 1) {
        // design: 2.5 % crossfall from the centreline, kerbs 0.15 m up, batters at 1:2
        h = std::fabs(x) <= 4.0   ? base + 0.3 - 0.025 * std::fabs(x)
            : std::fabs(x) <= 4.5 ? base + 0.35
                                  : base + 0.35 + (std::fabs(x) - 4.5) / 2.0;
      } else {
        const double ground = base + 0.12 * x + 0.9 * std::sin(x / 5.0 + s) + 0.8;
        h = kind == 2 ? ground
                      : (std::fabs(x) <= 4.5 ? base + 0.28 - 0.025 * std::fabs(x) : ground - 0.1);
      }
      r.push_back({Text(x), Text(Round3(h))});
    }
    // The surveyor's book leaves a blank line now and then before the end mark.
    if (kind == 0 && (s == 1 || s == 4)) r.push_back({Text(0), Text(0)});
    if (kind == 2 && s == 2) {
      r.push_back({Text(0), Text(0)});
      r.push_back({Text(0), Text(0)});
    }
    r.push_back({Text(999, 0), Text(0)});
  }
  return f;
}

SampleFile TravDat() {
  SampleFile f{"TRAV.DAT", 40, {}};
  auto& r = f.records;
  // Four set-ups of a traverse round the site; at each, the back sight, the fore sight
  // and a few detail shots. HA and VA as d.mmss, distances in metres.
  const double setups[][2] = {
      {0.0, 0.0}, {88.3415, 212.455}, {179.5802, 271.083}, {271.1244, 214.962}};
  int shot = 0;
  for (const auto& s : setups) {
    const double ha0 = s[0];
    r.push_back({Dms(ha0), Dms(90.0 + 0.01 * shot), s[1], 1.500, 1.0});  // fore sight
    for (int k = 0; k < 5; ++k, ++shot) {
      const double ha = std::fmod(ha0 + 23.7 * (k + 1) + 3.1 * shot, 360.0);
      const double va = 88.0 + 0.37 * ((k * 7 + shot) % 9);
      const double dist = Round3(15.0 + 11.3 * k + 2.7 * (shot % 5));
      const double sig = (k % 2) ? 1.650 : 1.500;
      r.push_back({Dms(ha), Dms(va), dist, sig, double(10 + k)});
    }
  }
  return f;
}

SampleFile ControlStn() {
  SampleFile f{"CONTROL.STN", 32, {}};
  const struct {
    const char* name;
    double n, e, h;
  } stations[] = {
      {"HK1021", kN0 - 12.0, kE0 - 15.0, 11.874},   {"HK1022", kN0 + 230.0, kE0 - 10.0, 19.553},
      {"TP01", kN0 + 235.0, kE0 + 290.0, 27.902},   {"TP02", kN0 - 10.0, kE0 + 285.0, 18.217},
      {"BM-SITE", kN0 + 98.5, kE0 + 140.2, 21.305}, {"CP102-A1", kN0 + 150.0, kE0 + 250.0, 26.118},
  };
  for (const auto& s : stations) f.records.push_back({std::string(s.name), s.n, s.e, s.h});
  return f;
}

SampleFile RoadChg() {
  SampleFile f{"ROAD.CHG", 40, {}};
  for (double t = 0; t <= 260.0; t += 20.0) {
    double n, e, b;
    RoadPoint(t, n, e, b);
    const double radius = t <= 150.0 ? 0.0 : 250.0;
    f.records.push_back({1000.0 + t, Dms(b), Round3(n), Round3(e), radius});
  }
  return f;
}

SampleFile RoadSol() {
  SampleFile f{"ROAD.SOL", 32, {}};
  for (double t = 0; t <= 260.0; t += 10.0) {
    double n, e, b;
    RoadPoint(t, n, e, b);
    f.records.push_back({1000.0 + t, Round3(n), Round3(e), Dms(b)});
  }
  return f;
}

SampleFile ListPts() {
  SampleFile f{"LIST.PTS", 16, {}};
  // Point ranges to stake out, then two points given by their coordinates.
  const char* items[][2] = {{"1", "11"},     {"100", "113"},           {"B1", "B5"},
                            {"", ""},        {"820140.0", "836030.0"}, {"820015.0", "836170.0"},
                            {"FENCE", "ALL"}};
  for (const auto& it : items) f.records.push_back({std::string(it[0]), std::string(it[1])});
  return f;
}

std::vector<SampleFile> AllSamples() {
  return {SiteNeh(),
          SiteRefNeh(),
          RoadSec("ROAD.SEC", 0),
          RoadSec("ROADDES.SEC", 1),
          RoadSec("ROADOLD.SEC", 2),
          TravDat(),
          ControlStn(),
          RoadChg(),
          ListPts(),
          RoadSol()};
}

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  int arg = 1;
  if (argc > 1 && std::string(argv[1]) == "--check") {
    check = true;
    arg = 2;
  }
  if (arg >= argc) {
    std::fprintf(stderr, "usage: make_samples [--check] FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[arg]);
  std::error_code ec;
  if (!check) std::filesystem::create_directories(folder, ec);
  int bad = 0;
  for (const SampleFile& f : AllSamples()) {
    const std::string bytes = Bytes(f);
    const std::filesystem::path p = folder / f.name;
    if (check) {
      if (ReadAll(p) != bytes) {
        std::fprintf(stderr, "%s differs from what make_samples writes\n", p.c_str());
        ++bad;
      }
      continue;
    }
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", p.c_str());
      ++bad;
    } else {
      std::printf("%-12s %4zu records\n", f.name.c_str(), f.records.size());
    }
  }
  return bad ? 1 : 0;
}
