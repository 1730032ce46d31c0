// surveyexport plan on a 1,000,000-record NEH file with coded lines: to GeoPackage and to
// DXF, and in the same run GDAL's ogr2ogr turning the same points from CSV into a
// GeoPackage, for comparison. Prints seconds and peak memory (getrusage); the peak after
// a 100,000-record export and after the 1,000,000-record ones shows whether memory grows
// with the file.
//   ./bench_plan_export [records]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "export/plan_export.h"

namespace {

// Processor seconds (user + system) used so far by this process or its ended children:
// on a shared machine a fairer figure than the wall clock.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double PeakMiB(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_maxrss / 1024.0;
}

// A site 2 km square; every tenth record starts a line of nine points; each run of ten
// records has one point code.
void WriteNeh(const std::string& name, long records) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  for (long r = 0; r < records; ++r) {
    double rec[3];
    rec[0] = 816000.0 + std::fmod(r * 7.31, 2000.0);
    rec[1] = 834000.0 + std::fmod(r * 3.17, 2000.0);
    rec[2] = (r / 10 % 7) * 10000.0 + 12.5 + (r % 100) / 10.0;
    if (r % 10 == 0 || r % 10 == 8) rec[0] = -rec[0];
    std::fwrite(rec, sizeof rec, 1, f);
  }
  std::fclose(f);
}

// The same points as CSV with the same fields, for ogr2ogr.
void WriteCsv(const std::string& name, long records) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  std::fputs("X,Y,Z,number,code,height,line_marker\n", f);
  for (long r = 0; r < records; ++r) {
    const double n = 816000.0 + std::fmod(r * 7.31, 2000.0),
                 e = 834000.0 + std::fmod(r * 3.17, 2000.0);
    const double h = 12.5 + (r % 100) / 10.0;
    std::fprintf(f, "%.17g,%.17g,%.17g,%ld,%ld,%.17g,%d\n", e, n, h, r + 1, r / 10 % 7, h,
                 (r % 10 == 0 || r % 10 == 8) ? 1 : 0);
  }
  std::fclose(f);
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Export(const std::string& input, const std::string& output, surveyexport::Format f) {
  surveyexport::PlanExportOptions o;
  o.input = input;
  o.output = output;
  o.format = f;
  o.overwrite = true;
  surveyexport::PlanExportSummary s;
  const auto t0 = std::chrono::steady_clock::now();
  const std::string fault = surveyexport::ExportPlan(o, {}, s);
  const double t = Seconds(t0);
  if (!fault.empty()) std::printf("failed: %s\n", fault.c_str());
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const long records = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const std::string dir = (std::filesystem::temp_directory_path() / "bench_plan_export").string();
  std::filesystem::create_directories(dir);
  const std::string small = dir + "/SMALL.NEH", big = dir + "/BIG.NEH", csv = dir + "/BIG.csv";
  WriteNeh(small, records / 10);
  WriteNeh(big, records);
  WriteCsv(csv, records);

  const double tSmall = Export(small, dir + "/small.gpkg", surveyexport::Format::Gpkg);
  const double peakSmall = PeakMiB(RUSAGE_SELF);
  std::printf("GPKG %ld records: %.2f s, peak %.1f MiB\n", records / 10, tSmall, peakSmall);
  std::fflush(stdout);
  double cpu0 = CpuSeconds(RUSAGE_SELF);
  const double tGpkg = Export(big, dir + "/big.gpkg", surveyexport::Format::Gpkg);
  const double cGpkg = CpuSeconds(RUSAGE_SELF) - cpu0;
  std::printf("GPKG %ld records: %.2f s (cpu %.2f s), peak %.1f MiB\n", records, tGpkg, cGpkg,
              PeakMiB(RUSAGE_SELF));
  cpu0 = CpuSeconds(RUSAGE_SELF);
  const double tDxf = Export(big, dir + "/big.dxf", surveyexport::Format::Dxf);
  std::printf("DXF  %ld records: %.2f s (cpu %.2f s), peak %.1f MiB\n", records, tDxf,
              CpuSeconds(RUSAGE_SELF) - cpu0, PeakMiB(RUSAGE_SELF));

  cpu0 = CpuSeconds(RUSAGE_SELF);
  const double tKml = Export(big, dir + "/big.kml", surveyexport::Format::Kml);
  std::printf("KML  %ld records: %.2f s (cpu %.2f s), %.1f MiB, peak %.1f MiB\n", records, tKml,
              CpuSeconds(RUSAGE_SELF) - cpu0,
              static_cast<double>(std::filesystem::file_size(dir + "/big.kml")) / 1048576.0,
              PeakMiB(RUSAGE_SELF));
  std::fflush(stdout);

  std::filesystem::remove(dir + "/ogr.gpkg");
  const auto t0 = std::chrono::steady_clock::now();
  const std::string command =
      "ogr2ogr -f GPKG " + dir + "/ogr.gpkg " + csv +
      " -oo X_POSSIBLE_NAMES=X -oo Y_POSSIBLE_NAMES=Y -oo Z_POSSIBLE_NAMES=Z"
      " -oo AUTODETECT_TYPE=YES -a_srs EPSG:2326 -nln points";
  const int rc = std::system(command.c_str());
  const double tOgr = Seconds(t0);
  const double cOgr = CpuSeconds(RUSAGE_CHILDREN);
  std::printf("ogr2ogr CSV -> GPKG %ld points: %.2f s (cpu %.2f s, exit %d), peak %.1f MiB\n",
              records, tOgr, cOgr, rc, PeakMiB(RUSAGE_CHILDREN));
  std::printf(
      "GPKG / ogr2ogr: %.2f by the clock, %.2f by processor time (target <= 1.2); "
      "DXF %.2f s (target < 5 s)\n",
      tGpkg / tOgr, cGpkg / cOgr, tDxf);
  std::filesystem::remove_all(dir);
  return 0;
}
