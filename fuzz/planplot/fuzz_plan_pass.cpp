// Fuzz target: arbitrary bytes as an NEH main file (and, when the first byte is odd, the
// second half as a reference file) through the extent scan, the fit, the mapping, a
// drawing pass with labels and a drag's zoom box followed by a zoomed pass. Checks that
// everything handed to the plot area lies within reach of it and that the pass reads
// each record once.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "planplot/plan_core.h"
#include "planplot/recording_canvas.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckItems(const planplot::RecordingCanvas& c) {
  for (const auto& i : c.items) {
    if (i.kind == planplot::DrawnItem::Pixel) {
      Check(i.x0 >= 0 && i.x0 < planplot::kPlotWidth && i.y0 >= 0 && i.y0 < planplot::kPlotHeight);
    } else {
      const int far = 5000;
      Check(std::abs(i.x0) < far && std::abs(i.y0) < far && std::abs(i.x1) < far &&
            std::abs(i.y1) < far);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 24 * 4096) return 0;
  const std::string all(reinterpret_cast<const char*>(data), size);
  const bool withReference = size > 0 && (data[0] & 1);
  const std::string main = withReference ? all.substr(0, size / 2) : all;
  const std::string ref = withReference ? all.substr(size / 2) : std::string();
  planplot::NehOpener open = [&](const std::string& name) -> std::unique_ptr<planplot::NehSource> {
    if (name == "MAIN.NEH") return planplot::MemoryNehSource(main);
    if (name == "REF.NEH") return planplot::MemoryNehSource(ref);
    return nullptr;
  };

  planplot::PlanState s;
  s.mainFileName = "MAIN.NEH";
  s.referenceFileName = "REF.NEH";
  s.referencePresent = withReference;
  s.showNumbers = s.showLevels = true;
  planplot::ScanFullExtent(s, open);
  Check(std::isfinite(s.Nlo) && std::isfinite(s.Nhi) && std::isfinite(s.Elo) &&
        std::isfinite(s.Ehi));
  Check(s.Nlo <= s.Nhi && s.Elo <= s.Ehi && s.Nlo >= 0 && s.Elo >= 0);
  planplot::FitViewWindow(s);
  planplot::ApplyViewWindow(s);

  planplot::RecordingCanvas c;
  const planplot::PassResult r = planplot::DrawPlanPass(s, planplot::kDarkScheme, open, c);
  Check(!r.aborted);
  Check(r.recordsRead == static_cast<std::int64_t>(main.size() / 24 + ref.size() / 24));
  Check(c.passesBegun == 1 && c.passesEnded == 1);
  CheckItems(c);

  // A drag across part of the area and a zoomed pass.
  const int x0 = size > 1 ? data[1] * 4 : 0, y0 = size > 2 ? data[2] * 2 : 0;
  const int x1 = size > 3 ? data[3] * 4 : 1049, y1 = size > 4 ? data[4] * 2 : 699;
  planplot::UpdateZoomBox(s, x0, y0, x1, y1);
  planplot::ZoomAreaText(s);
  planplot::ApplyWorldWindow(s.mapping, s.Ep, s.Np, s.Ec, s.Nc);
  planplot::RecordingCanvas z;
  planplot::DrawPlanPass(s, planplot::kLightScheme, open, z);
  CheckItems(z);
  return 0;
}
