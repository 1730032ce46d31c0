#pragma once
// The six coordinate systems of the converter, the affine transformations between the
// 1980 and the 1984 HK grids, the ten conversion steps and the six derivation procedures
// that fill a system's pair lazily from whatever pair is known. The change of datum
// between HK 1980 and WGS 84 always passes through both HK grids; UTM is always reached
// from, and leads to, the geodetic pair of its own ellipsoid. Plain C++ (no Qt).
#include <array>

#include "converter/geodesy.h"

namespace norvane {

// The systems in the order the store keeps them.
enum class System { Utm84 = 0, Utm80, Grid84, Grid80, Geo84, Geo80 };

// One pair: northing and easting (metres) or latitude and longitude (decimal degrees).
// Zero stands for "not known".
struct Pair {
  double first = 0;
  double second = 0;
};
inline bool Complete(const Pair& p) { return p.first != 0 && p.second != 0; }
inline bool Usable(const Pair& p) { return p.first != 0 || p.second != 0; }
inline bool Absent(const Pair& p) { return !Usable(p); }

struct CoordinateStore {
  std::array<Pair, 6> pairs{};  // UTM84, UTM80, Grid84, Grid80, Geo84, Geo80
  Pair& operator[](System s) { return pairs[static_cast<int>(s)]; }
  const Pair& operator[](System s) const { return pairs[static_cast<int>(s)]; }
  void Clear() { pairs = {}; }
  bool AnyUsable() const;
};

// The store together with the one active projection record that every step fills.
struct Conversion {
  CoordinateStore store;
  ProjectionParams active;
};

// 1980 HK grid -> 1984 HK grid and back (metres). Separate formulas with their own
// constants, not inverses of each other: there and back agrees within 0.00003 m.
GridPoint Grid80ToGrid84(double northing, double easting);
GridPoint Grid84ToGrid80(double northing, double easting);

// The conversion steps. Each reads its source pair, fills the whole active record for its
// projection, computes and writes its target pair. A source pair that is absent gives
// Fault::NoInput and writes nothing; any other fault writes nothing either.
Fault StepS1(Conversion& c);   // Geo80 -> Grid80, International 1924, 1980 HK grid
Fault StepS2(Conversion& c);   // Grid80 -> Geo80
Fault StepS3(Conversion& c);   // Geo84 -> Grid84, WGS 84, 1984 HK grid
Fault StepS4(Conversion& c);   // Grid84 -> Geo84
Fault StepS5(Conversion& c);   // Geo80 -> UTM80, zone by longitude
Fault StepS6(Conversion& c);   // UTM80 -> Geo80, zone by trial
Fault StepS7(Conversion& c);   // Geo84 -> UTM84, zone by longitude
Fault StepS8(Conversion& c);   // UTM84 -> Geo84, zone by trial
Fault StepS9(Conversion& c);   // Grid80 -> Grid84, affine
Fault StepS10(Conversion& c);  // Grid84 -> Grid80, affine

// The derivation procedures: each makes its pair known when some pair of the store is
// usable, storing every pair it computes on the way (later requests reuse them).
// Fault::NoInput when no pair of the store is usable (nothing is written then); any other
// fault abandons the chain (pairs stored before the faulty step stay).
Fault EnsureGeo80(Conversion& c);
Fault EnsureGeo84(Conversion& c);
Fault EnsureGrid80(Conversion& c);
Fault EnsureGrid84(Conversion& c);
Fault EnsureUtm80(Conversion& c);
Fault EnsureUtm84(Conversion& c);

}  // namespace norvane
