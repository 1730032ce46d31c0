// Derivation chains between the six systems. Every pair produced on the way is stored, so
// that the order of the chains decides which pairs a later request finds already known.
#include "converter/transforms.h"

#include <cfenv>
#include <cmath>

namespace norvane {

bool CoordinateStore::AnyUsable() const {
  for (const Pair& p : pairs)
    if (Usable(p)) return true;
  return false;
}

GridPoint Grid80ToGrid84(double n, double e) {
  return {1.0000001619 * n - 0.000027858 * e + 23.098979,
          1.0000001619 * e + 0.000027858 * n - 23.149125};
}

GridPoint Grid84ToGrid80(double n, double e) {
  return {0.9999998373 * n + 0.000027858 * e - 23.098331,
          0.9999998373 * e - 0.000027858 * n + 23.149765};
}

namespace {

Fault Forward(Conversion& c, System from, System to, const Ellipsoid& ell, const Projection* proj) {
  const Pair src = c.store[from];
  if (Absent(src)) return Fault::NoInput;
  // UTM forward: the zone follows the longitude.
  const Projection& projection = proj ? *proj : UtmZoneByLongitude(src.second);
  SetProjection(c.active, ell, projection);
  GridPoint g;
  if (Fault f = TmForward(c.active, src.first, src.second, g); f != Fault::None) return f;
  c.store[to] = {g.northing, g.easting};
  return Fault::None;
}

Fault Inverse(Conversion& c, System from, System to, const Ellipsoid& ell, const Projection& proj) {
  const Pair src = c.store[from];
  if (Absent(src)) return Fault::NoInput;
  SetProjection(c.active, ell, proj);
  GeoPoint g;
  if (Fault f = TmInverse(c.active, src.first, src.second, g); f != Fault::None) return f;
  c.store[to] = {g.lat, g.lon};
  return Fault::None;
}

Fault UtmInverse(Conversion& c, System from, System to, const Ellipsoid& ell) {
  const Pair src = c.store[from];
  if (Absent(src)) return Fault::NoInput;
  GeoPoint g;
  if (Fault f = UtmInverseByTrial(c.active, ell, src.first, src.second, g); f != Fault::None)
    return f;
  c.store[to] = {g.lat, g.lon};
  return Fault::None;
}

Fault Affine(Conversion& c, System from, System to, GridPoint (*formula)(double, double)) {
  const Pair src = c.store[from];
  if (Absent(src)) return Fault::NoInput;
  constexpr int flags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;
  if (std::fetestexcept(flags)) std::feclearexcept(flags);
  const GridPoint g = formula(src.first, src.second);
  const int raised = std::fetestexcept(flags);
  if ((raised & FE_OVERFLOW) || std::isinf(g.northing) || std::isinf(g.easting))
    return Fault::Overflow;
  if ((raised & FE_INVALID) || std::isnan(g.northing) || std::isnan(g.easting))
    return Fault::InvalidOperation;
  c.store[to] = {g.northing, g.easting};
  return Fault::None;
}

// Runs steps in order, stopping at the first fault.
template <typename... Steps>
Fault Chain(Conversion& c, Steps... steps) {
  Fault f = Fault::None;
  ((f == Fault::None ? (f = steps(c), 0) : 0), ...);
  return f;
}

}  // namespace

Fault StepS1(Conversion& c) {
  return Forward(c, System::Geo80, System::Grid80, kInternational1924, &kGrid80Projection);
}
Fault StepS2(Conversion& c) {
  return Inverse(c, System::Grid80, System::Geo80, kInternational1924, kGrid80Projection);
}
Fault StepS3(Conversion& c) {
  return Forward(c, System::Geo84, System::Grid84, kWgs84, &kGrid84Projection);
}
Fault StepS4(Conversion& c) {
  return Inverse(c, System::Grid84, System::Geo84, kWgs84, kGrid84Projection);
}
Fault StepS5(Conversion& c) {
  return Forward(c, System::Geo80, System::Utm80, kInternational1924, nullptr);
}
Fault StepS6(Conversion& c) {
  return UtmInverse(c, System::Utm80, System::Geo80, kInternational1924);
}
Fault StepS7(Conversion& c) { return Forward(c, System::Geo84, System::Utm84, kWgs84, nullptr); }
Fault StepS8(Conversion& c) { return UtmInverse(c, System::Utm84, System::Geo84, kWgs84); }
Fault StepS9(Conversion& c) { return Affine(c, System::Grid80, System::Grid84, Grid80ToGrid84); }
Fault StepS10(Conversion& c) { return Affine(c, System::Grid84, System::Grid80, Grid84ToGrid80); }

Fault EnsureGeo80(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Geo80])) return Fault::None;
  if (Usable(s[System::Utm80])) return StepS6(c);
  // UTM84 -S8-> Geo84 -S3-> Grid84 -S10-> Grid80 -S2-> Geo80, from the first usable pair.
  if (Usable(s[System::Grid80])) return StepS2(c);
  if (Usable(s[System::Grid84])) return Chain(c, StepS10, StepS2);
  if (Usable(s[System::Geo84])) return Chain(c, StepS3, StepS10, StepS2);
  if (Usable(s[System::Utm84])) return Chain(c, StepS8, StepS3, StepS10, StepS2);
  return Fault::None;  // only an incomplete Geo80 itself is known: it stays as it is
}

Fault EnsureGeo84(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Geo84])) return Fault::None;
  if (Usable(s[System::Utm84])) return StepS8(c);
  // UTM80 -S6-> Geo80 -S1-> Grid80 -S9-> Grid84 -S4-> Geo84, from the first usable pair.
  if (Usable(s[System::Grid84])) return StepS4(c);
  if (Usable(s[System::Grid80])) return Chain(c, StepS9, StepS4);
  if (Usable(s[System::Geo80])) return Chain(c, StepS1, StepS9, StepS4);
  if (Usable(s[System::Utm80])) return Chain(c, StepS6, StepS1, StepS9, StepS4);
  return Fault::None;
}

Fault EnsureGrid80(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Grid80])) return Fault::None;
  if (Usable(s[System::Grid84])) return StepS10(c);
  if (!Complete(s[System::Geo80]))
    if (Fault f = EnsureGeo80(c); f != Fault::None) return f;
  return StepS1(c);
}

Fault EnsureGrid84(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Grid84])) return Fault::None;
  if (Usable(s[System::Grid80])) return StepS9(c);
  if (!Complete(s[System::Geo84]))
    if (Fault f = EnsureGeo84(c); f != Fault::None) return f;
  return StepS3(c);
}

Fault EnsureUtm80(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Utm80])) return Fault::None;
  if (!Complete(s[System::Geo80]))
    if (Fault f = EnsureGeo80(c); f != Fault::None) return f;
  return StepS5(c);
}

Fault EnsureUtm84(Conversion& c) {
  CoordinateStore& s = c.store;
  if (!s.AnyUsable()) return Fault::NoInput;
  if (Complete(s[System::Utm84])) return Fault::None;
  if (!Complete(s[System::Geo84]))
    if (Fault f = EnsureGeo84(c); f != Fault::None) return f;
  return StepS7(c);
}

}  // namespace norvane
