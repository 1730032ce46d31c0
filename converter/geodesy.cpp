// Transverse Mercator by Redfearn's series, as in the survey office's "Hong Kong Trig
// List" computations: forward to the eighth power of the longitude difference, inverse to
// the eighth power of the easting through the footpoint latitude, with pi = 3.141592654.
//
// Differences from the tables' hand method: the footpoint iteration is bounded, every
// routine checks the floating-point status and its domain and returns a Fault instead of
// producing meaningless numbers. TmForward / TmInverse obtain sin 2phi, sin 4phi and
// sin 6phi from one sine and cosine by the double-angle identities and tan from sin / cos;
// TmForwardPlain / TmInversePlain call the library for every function as written. Both
// run the same footpoint iteration with the same stop test.
#include "converter/geodesy.h"

#include <cfenv>
#include <charconv>
#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#endif
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace norvane {
namespace {

constexpr int kArithmeticFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

#if defined(__x86_64__) && defined(__SSE2__)
// On x86-64 every double operation runs on SSE: its status register alone holds the
// flags, and reading it is much cheaper than the full fetestexcept.
constexpr unsigned kMxcsrInvalid = 0x01, kMxcsrDivByZero = 0x04, kMxcsrOverflow = 0x08;
constexpr unsigned kMxcsrFlags = kMxcsrInvalid | kMxcsrDivByZero | kMxcsrOverflow;
inline void ArithmeticStart() {
  const unsigned csr = _mm_getcsr();
  if (csr & kMxcsrFlags) _mm_setcsr(csr & ~kMxcsrFlags);
}
// A value handed to an empty volatile asm is computed before anything volatile that
// follows, such as the read of the status register. Without it the optimiser may move the
// last multiplications of a step after that read (once ArithmeticResult is inlined), and
// an overflow is then seen only as the invalid operation that follows it, or not at all.
inline void ComputedBeforeFlags(double v) { asm volatile("" : : "x"(v)); }
inline int RaisedFlags() {
  const unsigned csr = _mm_getcsr();
  return ((csr & kMxcsrInvalid) ? FE_INVALID : 0) | ((csr & kMxcsrDivByZero) ? FE_DIVBYZERO : 0) |
         ((csr & kMxcsrOverflow) ? FE_OVERFLOW : 0);
}
#else
// Called at the start of a step: the status flags then speak for this step alone.
inline void ArithmeticStart() {
  if (std::fetestexcept(kArithmeticFlags)) std::feclearexcept(kArithmeticFlags);
}
inline void ComputedBeforeFlags(double v) {
  volatile double computed = v;
  (void)computed;
}
inline int RaisedFlags() { return std::fetestexcept(kArithmeticFlags); }
#endif

// Called at the end of a step with the values it produced.
Fault ArithmeticResult(std::initializer_list<double> values) {
  for (double v : values) ComputedBeforeFlags(v);
  const int raised = RaisedFlags();
  // An overflow is reported first: the invalid operations that follow it (inf - inf)
  // are its consequence.
  if (raised & FE_OVERFLOW) return Fault::Overflow;
  if (raised & FE_DIVBYZERO) return Fault::DivisionByZero;
  if (raised & FE_INVALID) return Fault::InvalidOperation;
  for (double v : values) {
    if (std::isinf(v)) return Fault::Overflow;
    if (std::isnan(v)) return Fault::InvalidOperation;
  }
  return Fault::None;
}

// Input values that cannot be computed with at all.
Fault InputFault(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return Fault::InvalidOperation;
  if (std::isinf(a) || std::isinf(b)) return Fault::Overflow;
  return Fault::None;
}

// The arc from a sine and cosine of phi: sin 2phi, sin 4phi and sin 6phi by the
// double-angle identities (one library call per latitude instead of three).
inline double ArcFromSinCos(const ProjectionParams& p, double phi, double s, double c) {
  const double s2 = 2.0 * s * c;
  const double c2 = 1.0 - 2.0 * s * s;
  const double s4 = 2.0 * s2 * c2;
  const double c4 = 1.0 - 2.0 * s2 * s2;
  const double s6 = s4 * c2 + c4 * s2;
  return p.a * (p.A0 * phi - p.A2 * s2 + p.A4 * s4 - p.A6 * s6);
}

inline double ArcFast(const ProjectionParams& p, double phi) {
  return ArcFromSinCos(p, phi, std::sin(phi), std::cos(phi));
}

// The arc to the origin's parallel, kept for the last ellipsoid and origin used: every
// projection call needs it, and a step sets the same record again and again.
// With it the arc as a polynomial in sin^2: since sin 2phi = 2sc, sin 4phi = 4sc(1 - 2s^2)
// and sin 6phi = 2sc(3 - 16s^2 + 16s^4),
//   M = a A0 phi + s c (P0 + s^2 (P1 + s^2 P2)),
//   P0 = a(-2 A2 + 4 A4 - 6 A6), P1 = a(-8 A4 + 32 A6), P2 = -32 a A6.
struct OriginArcMemo {
  double a = std::nan(""), f = 0, lat0 = 0, M0 = 0, s0 = 0, c0 = 1;
  double aA0 = 0, P0 = 0, P1 = 0, P2 = 0;
};
thread_local OriginArcMemo g_origin;

inline const OriginArcMemo& OriginArc(const ProjectionParams& p) {
  OriginArcMemo& m = g_origin;
  if (!(m.a == p.a && m.f == p.f && m.lat0 == p.lat0)) {
    m.a = p.a;
    m.f = p.f;
    m.lat0 = p.lat0;
    m.aA0 = p.a * p.A0;
    m.P0 = p.a * (-2.0 * p.A2 + 4.0 * p.A4 - 6.0 * p.A6);
    m.P1 = p.a * (-8.0 * p.A4 + 32.0 * p.A6);
    m.P2 = -32.0 * p.a * p.A6;
    m.s0 = std::sin(p.lat0);
    m.c0 = std::cos(p.lat0);
    m.M0 = ArcFromSinCos(p, p.lat0, m.s0, m.c0);
  }
  return m;
}

inline double ArcPoly(const OriginArcMemo& k, double phi, double s, double c) {
  const double s2 = s * s;
  return k.aA0 * phi + s * c * (k.P0 + s2 * (k.P1 + s2 * k.P2));
}

template <bool Fast>
inline double Arc(const ProjectionParams& p, double phi) {
  if constexpr (Fast)
    return ArcFast(p, phi);
  else
    return MeridianArc(p, phi);
}

// The footpoint iteration with the sine and cosine of the latitude carried along: after a
// small step delta they follow by rotation (sin and cos of delta by their series, exact
// to the last bit below 0.01 rad) instead of two library calls. Same steps, same stop
// test as the plain iteration; *s and *c are the sine and cosine of the result.
Fault FootpointFast(const ProjectionParams& p, double m, double& phi, double& sOut, double& cOut,
                    int* iterations) {
  const OriginArcMemo& origin = OriginArc(p);
  // The step divides by a: here a multiplication by 1/a (the two differ in the last bit
  // of a step at most), which keeps a division out of every step's chain.
  const double inverseA = 1.0 / p.a;
  double f = p.lat0, s = origin.s0, c = origin.c0;
  int n = 0;
  double d = origin.M0 - m;
  while (std::fabs(d) > 0.00001) {
    if (n == kFootpointIterationLimit) {
      if (iterations) *iterations = n;
      return Fault::NoConvergence;
    }
    const double delta = d * inverseA;
    f = f - delta;
    ++n;
    const double ad = std::fabs(delta);
    if (ad < 0.01) {
      const double d2 = delta * delta;
      double sd, cd;
      if (ad < 1e-6) {  // delta^3/6 and delta^4/24 lie below 2E-19
        sd = delta;
        cd = 1.0 - 0.5 * d2;
      } else if (ad < 1e-4) {  // the next terms lie below 1E-21
        sd = delta - delta * d2 * (1.0 / 6.0);
        cd = 1.0 - d2 * (0.5 - d2 * (1.0 / 24.0));
      } else {
        sd = delta * (1.0 - d2 * (1.0 / 6.0 - d2 * (1.0 / 120.0 - d2 * (1.0 / 5040.0))));
        cd = 1.0 - d2 * (0.5 - d2 * (1.0 / 24.0 - d2 * (1.0 / 720.0 - d2 * (1.0 / 40320.0))));
      }
      const double sn = s * cd - c * sd;
      c = c * cd + s * sd;
      s = sn;
    } else if (ad < 0.6) {
      // The first step of a UTM inverse (from the equator): the series to the 15th and
      // 16th power, whose remainders lie below 1E-18.
      const double d2 = delta * delta;
      const double sd =
          delta *
          (1.0 -
           d2 * (1.0 / 6.0) *
               (1.0 -
                d2 * (1.0 / 20.0) *
                    (1.0 - d2 * (1.0 / 42.0) *
                               (1.0 - d2 * (1.0 / 72.0) *
                                          (1.0 - d2 * (1.0 / 110.0) *
                                                     (1.0 - d2 * (1.0 / 156.0) *
                                                                (1.0 - d2 * (1.0 / 210.0))))))));
      const double cd =
          1.0 -
          d2 * 0.5 *
              (1.0 -
               d2 * (1.0 / 12.0) *
                   (1.0 -
                    d2 * (1.0 / 30.0) *
                        (1.0 -
                         d2 * (1.0 / 56.0) *
                             (1.0 - d2 * (1.0 / 90.0) *
                                        (1.0 - d2 * (1.0 / 132.0) *
                                                   (1.0 - d2 * (1.0 / 182.0) *
                                                              (1.0 - d2 * (1.0 / 240.0))))))));
      const double sn = s * cd - c * sd;
      c = c * cd + s * sd;
      s = sn;
    } else {
      s = std::sin(f);
      c = std::cos(f);
    }
    // M(f) - m, with the terms in the order that keeps the step's chain short.
    const double s2 = s * s;
    d = (origin.aA0 * f - m) + s * c * ((origin.P0 + s2 * origin.P1) + (s2 * s2) * origin.P2);
  }
  phi = f;
  sOut = s;
  cOut = c;
  if (iterations) *iterations = n;
  return Fault::None;
}

template <bool Fast>
Fault Footpoint(const ProjectionParams& p, double m, double& phi, int* iterations) {
  double f = p.lat0;
  int n = 0;
  double d = Arc<Fast>(p, f) - m;
  // A difference strictly greater than 0.00001 m continues; a NaN ends the loop and is
  // reported by the arithmetic check of the caller.
  while (std::fabs(d) > 0.00001) {
    if (n == kFootpointIterationLimit) {
      if (iterations) *iterations = n;
      return Fault::NoConvergence;
    }
    f = f - d / p.a;
    ++n;
    d = Arc<Fast>(p, f) - m;
  }
  phi = f;
  if (iterations) *iterations = n;
  return Fault::None;
}

bool LatitudeInRange(double latDeg) { return std::fabs(latDeg) <= 90.0; }
bool LongitudeDifferenceInRange(double omegaRad) {
  return std::fabs(omegaRad) <= DegToRad(kMaxLongitudeDifference);
}

template <bool Fast>
Fault Forward(ProjectionParams& p, double lat, double lon, GridPoint& out) {
  ArithmeticStart();
  if (Fault f = InputFault(lat, lon); f != Fault::None) return f;
  if (!LatitudeInRange(lat)) return Fault::OutOfRange;
  DeriveEllipsoidTerms(p);
  double M0;
  if constexpr (Fast)
    M0 = OriginArc(p).M0;
  else
    M0 = MeridianArc(p, p.lat0);
  const double phi = DegToRad(lat);
  const double lam = DegToRad(lon);
  const double w = lam - p.lon0;
  if (!LongitudeDifferenceInRange(w)) return Fault::OutOfRange;

  double t, c, s, nu, psi, M;
  if constexpr (Fast) {
    s = std::sin(phi);
    c = std::cos(phi);
    t = s / c;
    const double w2 = 1.0 - p.e2 * s * s;
    nu = p.a / std::sqrt(w2);
    psi = w2 / (1.0 - p.e2);  // nu / rho
    M = ArcPoly(OriginArc(p), phi, s, c);
  } else {
    t = std::tan(phi);
    c = std::cos(phi);
    s = std::sin(phi);
    nu = PrimeVerticalRadius(p, phi);
    const double rho = MeridianRadius(p, phi);
    psi = nu / rho;
    M = MeridianArc(p, phi);
  }
  const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
  const double psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;
  const double c3 = c * c * c, c5 = c3 * c * c, c7 = c5 * c * c;
  const double w2 = w * w, w3 = w2 * w, w4 = w3 * w, w5 = w4 * w, w6 = w5 * w, w7 = w6 * w,
               w8 = w7 * w;

  // Divisions by the series' constants (the fast path multiplies by their reciprocals).
  constexpr double d6 = Fast ? 1.0 / 6.0 : 6.0, d120 = Fast ? 1.0 / 120.0 : 120.0,
                   d5040 = Fast ? 1.0 / 5040.0 : 5040.0, d24 = Fast ? 1.0 / 24.0 : 24.0,
                   d720 = Fast ? 1.0 / 720.0 : 720.0, d40320 = Fast ? 1.0 / 40320.0 : 40320.0;
  auto by = [](double x, double k) { return Fast ? x * k : x / k; };
  const double E1 = nu * w * c;
  const double E2 = by(nu * w3, d6) * c3 * (psi - t2);
  const double E3 = by(nu * w5, d120) * c5 *
                    (4.0 * psi3 * (1.0 - 6.0 * t2) + psi2 * (1.0 + 8.0 * t2) - 2.0 * psi * t2 + t4);
  const double E4 = by(nu * w7, d5040) * c7 * (61.0 - 479.0 * t2 + 179.0 * t4 - t6);
  const double easting = p.FE + p.k0 * (E1 + E2 + E3 + E4);

  const double N1 = (M - M0) + w2 / 2.0 * nu * s * c;
  const double N2 = by(w4, d24) * nu * s * c3 * (4.0 * psi2 + psi - t2);
  const double N3 = by(w6, d720) * nu * s * c5 *
                    (8.0 * psi4 * (11.0 - 24.0 * t2) - 28.0 * psi3 * (1.0 - 6.0 * t2) +
                     psi2 * (1.0 - 32.0 * t2) - 2.0 * psi * t2 + t4);
  const double N4 = by(w8, d40320) * nu * s * c7 * (1385.0 - 3111.0 * t2 + 543.0 * t4 - t6);
  const double northing = p.FN + p.k0 * (N1 + N2 + N3 + N4);

  if (Fault f = ArithmeticResult({northing, easting}); f != Fault::None) return f;
  out = {northing, easting};
  return Fault::None;
}

template <bool Fast>
Fault Inverse(ProjectionParams& p, double northing, double easting, GeoPoint& out,
              int* iterations) {
  ArithmeticStart();
  if (iterations) *iterations = 0;
  if (Fault f = InputFault(northing, easting); f != Fault::None) return f;
  DeriveEllipsoidTerms(p);
  const double Np = northing - p.FN;
  const double x = easting - p.FE;
  // The sum is divided by k0; every projection served has k0 = 1 or lat0 = 0, where this
  // equals M(lat0) + N'/k0.
  double fp = 0, sfp = 0, cfp = 1, m;
  if constexpr (Fast) {
    m = (OriginArc(p).M0 + Np) / p.k0;
    if (Fault f = FootpointFast(p, m, fp, sfp, cfp, iterations); f != Fault::None) return f;
  } else {
    m = (MeridianArc(p, p.lat0) + Np) / p.k0;
    if (Fault f = Footpoint<false>(p, m, fp, iterations); f != Fault::None) return f;
  }
  if (Fault f = ArithmeticResult({m, fp}); f != Fault::None) return f;
  // A footpoint beyond the pole: the northing lies outside the projection.
  if (!(std::fabs(fp) <= kPi / 2.0)) return Fault::OutOfRange;

  const double k0 = p.k0;
  double t, c, psi, q;
  double r = 0, ic = 0;  // fast path: x / (k0 nu) and 1 / cos
  if constexpr (Fast) {
    // nu = a / sqrt(w), rho = (1 - e2) a / sqrt(w)^3, psi = w / (1 - e2): the constant
    // divisions do not wait for the footpoint.
    const double oneMinusE2 = 1.0 - p.e2;
    const double byPsi = 1.0 / oneMinusE2, byQ = 1.0 / (k0 * oneMinusE2 * p.a),
                 byR = 1.0 / (k0 * p.a);
    const double s = sfp;
    c = cfp;
    ic = 1.0 / c;
    t = s * ic;
    const double w = 1.0 - p.e2 * s * s;
    const double sq = std::sqrt(w);
    psi = w * byPsi;
    q = t * w * sq * byQ;
    r = x * sq * byR;
  } else {
    t = std::tan(fp);
    c = std::cos(fp);
    const double nu = PrimeVerticalRadius(p, fp);
    const double rho = MeridianRadius(p, fp);
    psi = nu / rho;
    q = t / (rho * k0);
    r = nu;  // used by the plain terms below
  }
  const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
  const double psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;

  double phi, lam;
  if constexpr (Fast) {
    // The same terms with one division: r = x / (k0 nu), so x^(2j) / (k0^(2j-1) nu^(2j-1))
    // = x r^(2j-1) and x^(2j+1) / (k0^(2j+1) nu^(2j+1)) = r^(2j+1).
    const double r2 = r * r, r3 = r2 * r, r5 = r3 * r2, r7 = r5 * r2;
    const double L1 = fp - x * r * 0.5 * q;
    const double L2 = x * r3 * (1.0 / 24.0) * q * (9.0 * psi * (1.0 - t2) + 12.0 * t2 - 4.0 * psi2);
    const double L3 = x * r5 * (1.0 / 720.0) * q *
                      (8.0 * psi4 * (11.0 - 24.0 * t2) - 12.0 * psi3 * (21.0 - 71.0 * t2) +
                       15.0 * psi2 * (15.0 - 98.0 * t2 + 15.0 * t4) +
                       180.0 * psi * (5.0 * t2 - 3.0 * t4) + 360.0 * t4);
    const double L4 =
        x * r7 * (1.0 / 40320.0) * q * (1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t6);
    phi = L1 + L2 - L3 + L4;
    const double G1 = r * ic + p.lon0;
    const double G2 = r3 * (1.0 / 6.0) * (psi + 2.0 * t2) * ic;
    const double G3 =
        r5 * (1.0 / 120.0) * ic *
        (psi2 * (9.0 - 68.0 * t2) + 72.0 * psi * t2 + 24.0 * t4 - 4.0 * psi3 * (1.0 - 6.0 * t2));
    const double G4 = r7 * (1.0 / 5040.0) * ic * (61.0 + 662.0 * t2 + 1320.0 * t4 + 720.0 * t6);
    lam = G1 - G2 + G3 - G4;
  } else {
    const double nu = r;
    const double x2 = x * x, x3 = x2 * x, x4 = x3 * x, x5 = x4 * x, x6 = x5 * x, x7 = x6 * x,
                 x8 = x7 * x;
    const double k3 = k0 * k0 * k0, k5 = k3 * k0 * k0, k7 = k5 * k0 * k0;
    const double nu3 = nu * nu * nu, nu5 = nu3 * nu * nu, nu7 = nu5 * nu * nu;
    const double L1 = fp - x2 / (2.0 * k0 * nu) * q;
    const double L2 =
        x4 / (24.0 * k3 * nu3) * q * (9.0 * psi * (1.0 - t2) + 12.0 * t2 - 4.0 * psi2);
    const double L3 = x6 / (720.0 * k5 * nu5) * q *
                      (8.0 * psi4 * (11.0 - 24.0 * t2) - 12.0 * psi3 * (21.0 - 71.0 * t2) +
                       15.0 * psi2 * (15.0 - 98.0 * t2 + 15.0 * t4) +
                       180.0 * psi * (5.0 * t2 - 3.0 * t4) + 360.0 * t4);
    const double L4 =
        x8 / (40320.0 * k7 * nu7) * q * (1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t6);
    phi = L1 + L2 - L3 + L4;

    const double G1 = x / (nu * k0) / c + p.lon0;
    const double G2 = x3 / (6.0 * k3 * nu3) * (psi + 2.0 * t2) / c;
    const double G3 =
        x5 / (120.0 * k5 * nu5) / c *
        (psi2 * (9.0 - 68.0 * t2) + 72.0 * psi * t2 + 24.0 * t4 - 4.0 * psi3 * (1.0 - 6.0 * t2));
    const double G4 = x7 / (5040.0 * k7 * nu7) / c * (61.0 + 662.0 * t2 + 1320.0 * t4 + 720.0 * t6);
    lam = G1 - G2 + G3 - G4;
  }

  double lat, lon;
  if constexpr (Fast) {
    lat = phi * (180.0 / kPi);
    lon = lam * (180.0 / kPi);
  } else {
    lat = RadToDeg(phi);
    lon = RadToDeg(lam);
  }
  if (Fault f = ArithmeticResult({lat, lon}); f != Fault::None) return f;
  // Far from the central meridian the series no longer describe the projection.
  if (!LatitudeInRange(lat) || !LongitudeDifferenceInRange(lam - p.lon0)) return Fault::OutOfRange;
  out = {lat, lon};
  return Fault::None;
}

}  // namespace

void DeriveEllipsoidTerms(ProjectionParams& p) {
  const double e2 = 2.0 * p.f - p.f * p.f;
  const double e4 = e2 * e2;
  const double e6 = e4 * e2;
  p.e2 = e2;
  p.A0 = 1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0;
  p.A2 = 3.0 / 8.0 * (e2 + e4 / 4.0 + 15.0 * e6 / 128.0);
  p.A4 = 15.0 / 256.0 * (e4 + 3.0 * e6 / 4.0);
  p.A6 = 35.0 * e6 / 3072.0;
}

void SetProjection(ProjectionParams& p, const Ellipsoid& ellipsoid, const Projection& projection) {
  p.a = ellipsoid.a;
  p.f = 1.0 / ellipsoid.inverseFlattening;
  DeriveEllipsoidTerms(p);
  p.lat0 = DegToRad(projection.lat0Deg);
  p.lon0 = DegToRad(projection.lon0Deg);
  p.FN = projection.fn;
  p.FE = projection.fe;
  p.k0 = projection.k0;
}

double MeridianArc(const ProjectionParams& p, double phi) {
  return p.a * (p.A0 * phi - p.A2 * std::sin(2.0 * phi) + p.A4 * std::sin(4.0 * phi) -
                p.A6 * std::sin(6.0 * phi));
}

double MeridianRadius(const ProjectionParams& p, double phi) {
  const double s = std::sin(phi);
  const double w = 1.0 - p.e2 * s * s;
  return (1.0 - p.e2) * p.a / std::sqrt(w * w * w);
}

double PrimeVerticalRadius(const ProjectionParams& p, double phi) {
  const double s = std::sin(phi);
  return p.a / std::sqrt(1.0 - p.e2 * s * s);
}

double CurvatureRatio(const ProjectionParams& p, double phi) {
  return PrimeVerticalRadius(p, phi) / MeridianRadius(p, phi);
}

Fault FootpointLatitude(const ProjectionParams& p, double m, double& phi, int* iterations) {
  ArithmeticStart();
  if (std::isnan(m)) return Fault::InvalidOperation;
  if (std::isinf(m)) return Fault::Overflow;
  double f = 0;
  double sf = 0, cf = 1;
  if (Fault fault = FootpointFast(p, m, f, sf, cf, iterations); fault != Fault::None) return fault;
  if (Fault fault = ArithmeticResult({f}); fault != Fault::None) return fault;
  phi = f;
  return Fault::None;
}

Fault TmForward(ProjectionParams& p, double lat, double lon, GridPoint& out) {
  return Forward<true>(p, lat, lon, out);
}
Fault TmInverse(ProjectionParams& p, double northing, double easting, GeoPoint& out,
                int* iterations) {
  return Inverse<true>(p, northing, easting, out, iterations);
}
Fault TmForwardPlain(ProjectionParams& p, double lat, double lon, GridPoint& out) {
  return Forward<false>(p, lat, lon, out);
}
Fault TmInversePlain(ProjectionParams& p, double northing, double easting, GeoPoint& out,
                     int* iterations) {
  return Inverse<false>(p, northing, easting, out, iterations);
}

const Projection& UtmZoneByLongitude(double lonDeg) {
  return lonDeg > 114.0 ? kUtmZone50 : kUtmZone49;
}
int UtmZoneNumber(double lonDeg) { return lonDeg > 114.0 ? 50 : 49; }

Fault UtmInverseByTrial(ProjectionParams& p, const Ellipsoid& ellipsoid, double northing,
                        double easting, GeoPoint& out, int* zone) {
  SetProjection(p, ellipsoid, kUtmZone49);
  GeoPoint g;
  const Fault first = TmInverse(p, northing, easting, g);
  if (first != Fault::None && first != Fault::OutOfRange) return first;
  int z = 49;
  if (first == Fault::OutOfRange || !(g.lon >= 111.0 && g.lon <= 117.0)) {
    SetProjection(p, ellipsoid, kUtmZone50);
    if (Fault f = TmInverse(p, northing, easting, g); f != Fault::None) return f;
    z = 50;
  }
  out = g;
  if (zone) *zone = z;
  return Fault::None;
}

// ---- typed numbers and angles ----

namespace {
bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
}  // namespace

double Val(std::string_view text) {
  size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip();
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
    skip();
  }
  std::string intDigits, fracDigits;
  for (; i < text.size(); ++i) {
    if (IsBlank(text[i])) continue;
    if (!IsDigit(text[i])) break;
    intDigits += text[i];
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size(); ++i) {
      if (IsBlank(text[i])) continue;
      if (!IsDigit(text[i])) break;
      fracDigits += text[i];
    }
  }
  if (intDigits.empty() && fracDigits.empty()) return 0.0;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    size_t j = i + 1;
    while (j < text.size() && IsBlank(text[j])) ++j;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      expNegative = text[j] == '-';
      ++j;
    }
    for (; j < text.size(); ++j) {
      if (IsBlank(text[j])) continue;
      if (!IsDigit(text[j])) break;
      if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
    }
    if (expNegative) exponent = -exponent;
  }
  // Drop leading zeros of the integer part and trailing zeros of the fraction: they do
  // not change the value and keep the text short.
  size_t firstNonZero = intDigits.find_first_not_of('0');
  intDigits = firstNonZero == std::string::npos ? std::string() : intDigits.substr(firstNonZero);
  while (!fracDigits.empty() && fracDigits.back() == '0') fracDigits.pop_back();
  std::string digits = intDigits + fracDigits;
  size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return negative ? -0.0 : 0.0;
  // Decimal order of the first significant digit, to tell overflow from underflow.
  const long order = static_cast<long>(intDigits.size()) - static_cast<long>(lead) - 1 + exponent;
  if (order > 400) return negative ? -HUGE_VAL : HUGE_VAL;
  if (order < -400) return negative ? -0.0 : 0.0;
  std::string number = (intDigits.empty() ? std::string("0") : intDigits);
  if (!fracDigits.empty()) number.append(1, '.').append(fracDigits);
  number.append(1, 'e').append(std::to_string(exponent));
  double value = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range)
    value = order > 0 ? HUGE_VAL : 0.0;
  else if (ec != std::errc())
    value = 0.0;
  return negative ? -value : value;
}

namespace {
// A typed angle with its blanks taken out: "22.18 4368" is 22.184368. The digits after
// the point are counted by position, so a blank must not take one of their places.
std::string WithoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (!IsBlank(ch)) out += ch;
  return out;
}
}  // namespace

double ParseDms(std::string_view typed) {
  const std::string compact = WithoutBlanks(typed);
  const std::string_view text = compact;
  const double whole = Val(text);
  const double sign = whole > 0 ? 1.0 : (whole < 0 ? -1.0 : 0.0);
  const size_t point = text.find('.');
  if (point == std::string_view::npos) return whole;
  const double deg = std::fabs(Val(text.substr(0, point)));
  const std::string_view after = text.substr(point + 1);
  const size_t n = after.size();
  double value;
  if (n == 0) {
    value = deg;
  } else if (n == 1) {
    value = deg + Val(after.substr(0, 1)) / 6.0;  // one digit: tens of minutes
  } else if (n == 2) {
    value = deg + Val(after.substr(0, 2)) / 60.0;
  } else if (n == 3) {
    value =
        deg + Val(after.substr(0, 2)) / 60.0 + Val(after.substr(2, 1)) / 360.0;  // tens of seconds
  } else if (n == 4) {
    value = deg + Val(after.substr(0, 2)) / 60.0 + Val(after.substr(2, 2)) / 3600.0;
  } else {
    std::string seconds(after.substr(2, 2));
    seconds += '.';
    seconds += after.substr(4);
    value = deg + Val(after.substr(0, 2)) / 60.0 + Val(seconds) / 3600.0;
  }
  return sign * value;
}

double PackDms(double degrees) {
  if (degrees < 0) return -PackDms(-degrees);
  double d = std::floor(degrees);
  const double m = (degrees - d) * 60.0;
  double fm = std::floor(m);
  // Seconds to the 0.00001" the packed text shows. 22.19 read as 22 + 19/60 gives
  // m = 18.999999999999986: its seconds round to 60, which is the next minute (and a
  // 60th minute the next degree), never "22-18-60.".
  const double steps = std::pow(10.0, kPackedSecondDecimals);
  double s = std::round((m - fm) * 60.0 * steps) / steps;
  if (s >= 60.0) {
    s -= 60.0;
    fm += 1.0;
  }
  if (fm >= 60.0) {
    fm -= 60.0;
    d += 1.0;
  }
  return d + fm / 100.0 + s / 10000.0;
}

std::string DmsText(std::string_view typed) {
  const std::string compact = WithoutBlanks(typed);
  const std::string_view text = compact;
  const size_t point = text.find('.');
  std::string before(point == std::string_view::npos ? text : text.substr(0, point));
  std::string after(point == std::string_view::npos ? std::string_view() : text.substr(point + 1));
  while (after.size() < 4) after += '0';
  if (before.empty() || before == "-" || before == "+") before.push_back('0');
  std::string result;
  result.reserve(before.size() + after.size() + 16);
  result.append(before)
      .append(1, '-')
      .append(after, 0, 2)
      .append(1, '-')
      .append(after, 2, 2)
      .append(1, '.');
  result.append(after, 4, std::string::npos);
  if (result.size() < 14) result.append(14 - result.size(), ' ');
  return result;
}

std::string MaskText(double value, int decimals) {
  if (!std::isfinite(value)) return std::string();
  if (decimals < 0) decimals = 0;
  // 15 significant digits, as the form runtime formats a double.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  const char* q = buf;
  for (; *q && *q != 'e'; ++q)
    if (IsDigit(*q)) digits += *q;
  const int exponent = *q == 'e' ? std::atoi(q + 1) : 0;
  std::string intPart, fracPart;
  if (exponent >= 0) {
    const size_t intCount = static_cast<size_t>(exponent) + 1;
    if (intCount >= digits.size()) {
      intPart = digits + std::string(intCount - digits.size(), '0');
    } else {
      intPart = digits.substr(0, intCount);
      fracPart = digits.substr(intCount);
    }
  } else {
    fracPart = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  if (fracPart.size() > static_cast<size_t>(decimals)) {
    const bool up = fracPart[static_cast<size_t>(decimals)] >= '5';
    fracPart.resize(static_cast<size_t>(decimals));
    if (up) {
      bool carry = true;
      for (size_t k = fracPart.size(); carry && k-- > 0;) {
        if (fracPart[k] == '9')
          fracPart[k] = '0';
        else {
          ++fracPart[k];
          carry = false;
        }
      }
      for (size_t k = intPart.size(); carry && k-- > 0;) {
        if (intPart[k] == '9')
          intPart[k] = '0';
        else {
          ++intPart[k];
          carry = false;
        }
      }
      if (carry) intPart.insert(intPart.begin(), '1');
    }
  }
  while (!fracPart.empty() && fracPart.back() == '0') fracPart.pop_back();
  const size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? std::string() : intPart.substr(nz);
  const bool zero = intPart.empty() && fracPart.empty();
  std::string result;
  result.reserve(intPart.size() + fracPart.size() + 2);
  if (value < 0 && !zero) result.push_back('-');
  result.append(intPart).append(1, '.').append(fracPart);
  return result;
}

std::string GridText(double metres) { return MaskText(metres, 4); }

std::string AngleText(double degrees) { return DmsText(MaskText(PackDms(degrees), 9)); }

}  // namespace norvane
