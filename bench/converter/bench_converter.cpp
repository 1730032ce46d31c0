// Speed of the converter's projections against PROJ's Transverse Mercator on the same
// points in the same run, and of the six-system derivation of one input. Prints the
// throughput ratios and the largest differences to the plain evaluation of the formulas
// and to PROJ after the timings.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "converter/form_logic.h"
#include "converter/geodesy.h"

using namespace norvane;

namespace {

struct Case {
  const char* name;
  Ellipsoid ellipsoid;
  Projection projection;
};
const Case kCases[2] = {
    {"Grid80", kInternational1924, kGrid80Projection},
    {"UTM84z50", kWgs84, kUtmZone50},
};

std::string ProjString(const Case& c, bool approx) {
  char buf[512];
  std::snprintf(
      buf, sizeof buf,
      "+proj=tmerc +lat_0=%.17g +lon_0=%.17g +k=%.17g +x_0=%.17g +y_0=%.17g +a=%.17g +rf=%.17g%s",
      c.projection.lat0Deg, c.projection.lon0Deg, c.projection.k0, c.projection.fe, c.projection.fn,
      c.ellipsoid.a, c.ellipsoid.inverseFlattening, approx ? " +approx" : "");
  return buf;
}

// Points over Hong Kong: geodetic and their grid coordinates in each case.
struct Points {
  std::vector<GeoPoint> geo;
  std::vector<GridPoint> grid[2];
  Points() {
    for (int i = 0; i < 16; ++i)
      for (int j = 0; j < 16; ++j) geo.push_back({22.15 + 0.03 * i, 113.82 + 0.045 * j});
    for (int k = 0; k < 2; ++k) {
      ProjectionParams p;
      SetProjection(p, kCases[k].ellipsoid, kCases[k].projection);
      for (const GeoPoint& g : geo) {
        GridPoint out;
        TmForwardPlain(p, g.lat, g.lon, out);
        grid[k].push_back(out);
      }
    }
  }
};
const Points& ThePoints() {
  static const Points p;
  return p;
}

struct Proj {
  PJ_CONTEXT* ctx = proj_context_create();
  PJ* pj[2][2] = {};  // [case][approx]
  Proj() {
    for (int k = 0; k < 2; ++k)
      for (int a = 0; a < 2; ++a) pj[k][a] = proj_create(ctx, ProjString(kCases[k], a).c_str());
  }
  ~Proj() {
    for (auto& row : pj)
      for (PJ* p : row) proj_destroy(p);
    proj_context_destroy(ctx);
  }
};
Proj& TheProj() {
  static Proj p;
  return p;
}

constexpr double kTrueDegToRad = M_PI / 180.0;

void BM_TmForward(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  const bool plain = state.range(1) != 0;
  ProjectionParams p;
  SetProjection(p, kCases[k].ellipsoid, kCases[k].projection);
  const auto& pts = ThePoints().geo;
  for (auto _ : state) {
    for (const GeoPoint& g : pts) {
      GridPoint out;
      benchmark::DoNotOptimize(plain ? TmForwardPlain(p, g.lat, g.lon, out)
                                     : TmForward(p, g.lat, g.lon, out));
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

void BM_TmInverse(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  const bool plain = state.range(1) != 0;
  ProjectionParams p;
  SetProjection(p, kCases[k].ellipsoid, kCases[k].projection);
  const auto& pts = ThePoints().grid[k];
  for (auto _ : state) {
    for (const GridPoint& g : pts) {
      GeoPoint out;
      benchmark::DoNotOptimize(plain ? TmInversePlain(p, g.northing, g.easting, out)
                                     : TmInverse(p, g.northing, g.easting, out));
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

void BM_ProjForward(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  PJ* pj = TheProj().pj[k][state.range(1)];
  const auto& pts = ThePoints().geo;
  for (auto _ : state) {
    for (const GeoPoint& g : pts) {
      PJ_COORD c = proj_coord(g.lon * kTrueDegToRad, g.lat * kTrueDegToRad, 0, 0);
      benchmark::DoNotOptimize(proj_trans(pj, PJ_FWD, c));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

void BM_ProjInverse(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  PJ* pj = TheProj().pj[k][state.range(1)];
  const auto& pts = ThePoints().grid[k];
  for (auto _ : state) {
    for (const GridPoint& g : pts) {
      PJ_COORD c = proj_coord(g.easting, g.northing, 0, 0);
      benchmark::DoNotOptimize(proj_trans(pj, PJ_INV, c));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

// The six systems of one typed input, as Print Result with every box ticked derives them.
void BM_SixSystems(benchmark::State& state) {
  const auto& pts = ThePoints().grid[0];
  const bool typed = state.range(0) != 0;
  std::vector<std::pair<std::string, std::string>> texts;
  for (const GridPoint& g : pts) texts.push_back({MaskText(g.northing, 4), MaskText(g.easting, 4)});
  for (auto _ : state) {
    for (size_t i = 0; i < pts.size(); ++i) {
      Conversion c;
      if (typed)
        ReadInput(c, 1, texts[i].first, texts[i].second);
      else
        c.store[System::Grid80] = {pts[i].northing, pts[i].easting};
      double v[12];
      benchmark::DoNotOptimize(DeriveAllSystems(c, v));
      benchmark::DoNotOptimize(v);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}

BENCHMARK(BM_TmForward)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"case", "plain"});
BENCHMARK(BM_ProjForward)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"case", "approx"});
BENCHMARK(BM_TmInverse)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"case", "plain"});
BENCHMARK(BM_ProjInverse)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"case", "approx"});
BENCHMARK(BM_SixSystems)->Arg(0)->Arg(1)->ArgName("typed");

// Keeps nanoseconds per point of every run for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> nsPerPoint;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const auto it = r.counters.find("items_per_second");
      if (it != r.counters.end() && it->second.value > 0)
        nsPerPoint[r.benchmark_name()] = 1e9 / it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintAccuracy() {
  const Points& pts = ThePoints();
  for (int k = 0; k < 2; ++k) {
    ProjectionParams p;
    SetProjection(p, kCases[k].ellipsoid, kCases[k].projection);
    double fwdPlain = 0, invPlain = 0, fwdProj = 0, invProj = 0;
    for (size_t i = 0; i < pts.geo.size(); ++i) {
      const GeoPoint& g = pts.geo[i];
      GridPoint a, b;
      TmForward(p, g.lat, g.lon, a);
      TmForwardPlain(p, g.lat, g.lon, b);
      fwdPlain = std::max(
          {fwdPlain, std::fabs(a.northing - b.northing), std::fabs(a.easting - b.easting)});
      GeoPoint ga, gb;
      TmInverse(p, b.northing, b.easting, ga);
      TmInversePlain(p, b.northing, b.easting, gb);
      invPlain = std::max({invPlain, std::fabs(ga.lat - gb.lat), std::fabs(ga.lon - gb.lon)});
      PJ_COORD c = proj_trans(TheProj().pj[k][0], PJ_FWD,
                              proj_coord(g.lon * kTrueDegToRad, g.lat * kTrueDegToRad, 0, 0));
      fwdProj = std::max({fwdProj, std::fabs(c.xy.y - a.northing), std::fabs(c.xy.x - a.easting)});
      PJ_COORD d = proj_trans(TheProj().pj[k][0], PJ_INV, proj_coord(a.easting, a.northing, 0, 0));
      invProj = std::max({invProj, std::fabs(d.lp.phi / kTrueDegToRad - ga.lat),
                          std::fabs(d.lp.lam / kTrueDegToRad - ga.lon)});
    }
    std::printf(
        "%-9s fast - plain: forward %.2e m, inverse %.2e deg;  PROJ - ours: forward %.2e m, "
        "inverse %.2e deg\n",
        kCases[k].name, fwdPlain, invPlain, fwdProj, invProj);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ns = [&](const std::string& name) {
    const auto it = reporter.nsPerPoint.find(name);
    return it == reporter.nsPerPoint.end() ? 0.0 : it->second;
  };
  std::printf("\nThroughput against PROJ (same points, same run; > 1 means faster than PROJ):\n");
  for (int k = 0; k < 2; ++k) {
    const std::string c = "case:" + std::to_string(k);
    const double fwd = ns("BM_TmForward/" + c + "/plain:0");
    const double inv = ns("BM_TmInverse/" + c + "/plain:0");
    std::printf(
        "%-9s TmForward %6.1f ns/point: %.2fx PROJ tmerc (%.1f ns), %.2fx PROJ tmerc +approx (%.1f "
        "ns)\n",
        kCases[k].name, fwd, ns("BM_ProjForward/" + c + "/approx:0") / fwd,
        ns("BM_ProjForward/" + c + "/approx:0"), ns("BM_ProjForward/" + c + "/approx:1") / fwd,
        ns("BM_ProjForward/" + c + "/approx:1"));
    std::printf(
        "%-9s TmInverse %6.1f ns/point: %.2fx PROJ tmerc (%.1f ns), %.2fx PROJ tmerc +approx (%.1f "
        "ns)\n",
        kCases[k].name, inv, ns("BM_ProjInverse/" + c + "/approx:0") / inv,
        ns("BM_ProjInverse/" + c + "/approx:0"), ns("BM_ProjInverse/" + c + "/approx:1") / inv,
        ns("BM_ProjInverse/" + c + "/approx:1"));
    std::printf("%-9s plain evaluation: forward %.1f ns, inverse %.1f ns\n", kCases[k].name,
                ns("BM_TmForward/" + c + "/plain:1"), ns("BM_TmInverse/" + c + "/plain:1"));
  }
  std::printf("Six systems of one input: %.2f us (stored pair), %.2f us (typed text)\n",
              ns("BM_SixSystems/typed:0") / 1000, ns("BM_SixSystems/typed:1") / 1000);
  PrintAccuracy();
  benchmark::Shutdown();
  return 0;
}
