#include "toolkit/clip_segment.h"

#include <algorithm>
#include <cmath>

namespace toolkit {

bool ClipSegment(long double& ax, long double& ay, long double& bx, long double& by,
                 long double xlo, long double xhi, long double ylo, long double yhi) {
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
    return false;
  const long double dx = bx - ax, dy = by - ay;
  if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
  long double t0 = 0, t1 = 1;
  const long double p[4] = {-dx, dx, -dy, dy};
  const long double q[4] = {ax - xlo, xhi - ax, ay - ylo, yhi - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const long double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  long double nax = ax, nay = ay, nbx = bx, nby = by;
  if (t0 > 0) {
    nax = ax + t0 * dx;
    nay = ay + t0 * dy;
  }
  if (t1 < 1) {
    nbx = ax + t1 * dx;
    nby = ay + t1 * dy;
  }
  const auto inside = [&](long double x, long double y) {
    return x >= xlo - 1 && x <= xhi + 1 && y >= ylo - 1 && y <= yhi + 1;
  };
  if (!inside(nax, nay) || !inside(nbx, nby)) return false;
  ax = nax;
  ay = nay;
  bx = nbx;
  by = nby;
  return true;
}

}  // namespace toolkit
