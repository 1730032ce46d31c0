// Listing lines per second through the NEH and DAT masks, with a precompiled mask and
// one reused output string, as the lister formats a file.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "toolkit/number_text.h"
#include "toolkit/print_using.h"
#include "toolkit/survey_files.h"

namespace {

struct NehPoint {
  double northing, easting, packed;
};
struct DatObservation {
  double ha, va, distance, signal, code;
};

std::vector<NehPoint> MakeNeh(std::size_t n) {
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> north(800000, 840000), east(810000, 850000),
      height(0, 400);
  std::uniform_int_distribution<int> code(0, 99);
  std::vector<NehPoint> points(n);
  for (auto& p : points) p = {north(random), east(random), code(random) * 10000.0 + height(random)};
  return points;
}

std::vector<DatObservation> MakeDat(std::size_t n) {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> angle(0, 360), va(60, 120), dist(1, 2000), sig(0, 3);
  std::uniform_int_distribution<int> code(0, 99);
  std::vector<DatObservation> obs(n);
  for (auto& o : obs)
    o = {angle(random), va(random), dist(random), sig(random), double(code(random))};
  return obs;
}

void BM_NehLines(benchmark::State& state) {
  const toolkit::Mask mask =
      toolkit::CompileMask("####   #######.###  #######.###  ####.###     ###");
  const auto points = MakeNeh(4096);
  std::string line;
  line.reserve(128);
  std::size_t i = 0;
  for (auto _ : state) {
    const NehPoint& p = points[i & 4095];
    const toolkit::PackedHeight h = toolkit::DecodePackedHeight(p.packed);
    line.clear();
    toolkit::FormatMask(mask, {static_cast<double>(i + 1), p.northing, p.easting, h.height, h.code},
                        line);
    benchmark::DoNotOptimize(line.data());
    ++i;
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NehLines);

void BM_DatLines(benchmark::State& state) {
  const toolkit::Mask mask =
      toolkit::CompileMask("####    ###.####  ###.####  ####.###    #.###     ###");
  const auto obs = MakeDat(4096);
  std::string line;
  line.reserve(128);
  std::size_t i = 0;
  for (auto _ : state) {
    const DatObservation& o = obs[i & 4095];
    line.clear();
    toolkit::FormatMask(
        mask, {static_cast<double>(i + 1), o.ha, o.va, o.distance, o.signal, o.code}, line);
    benchmark::DoNotOptimize(line.data());
    ++i;
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DatLines);

// Text numbers as SEC files hold them.
void BM_ReadTextNumber(benchmark::State& state) {
  const char* fields[] = {"  12.345", "-105.250", "     999", "   0.000", "CH100   ", "1.5E+3  "};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(toolkit::ReadTextNumber(fields[i % 6], 8));
    ++i;
  }
  state.counters["fields/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTextNumber);

void BM_NumberText(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(toolkit::NumberText(static_cast<long double>(i % 100000) * 0.125L));
    ++i;
  }
  state.counters["texts/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NumberText);

}  // namespace

BENCHMARK_MAIN();
