#pragma once
// Geodesy of the Hong Kong coordinate converter: the two reference ellipsoids, the
// meridian arc and radii of curvature, the Transverse Mercator projection forward and
// inverse as Redfearn's series (eighth power of the longitude difference or of the
// easting), the footpoint latitude, the four projections the converter serves (1980 HK
// grid, 1984 HK grid, UTM zones 49 and 50), the two UTM zone rules and the angle formats
// in which latitudes and longitudes are typed, packed and shown.
//
// Plain C++ (no Qt). Everything works in double precision. Degrees and radians are
// converted with pi = 3.141592654 (ten significant digits), the value the Hong Kong
// survey tables were computed with; origins, central meridians, inputs and results all
// pass through DegToRad / RadToDeg, so results agree with those tables to the last digit
// shown.
//
// Every projection routine ends with a check of the floating-point status (overflow,
// division by zero, invalid operation) and of its domain; a failed check returns a Fault
// and the caller abandons the whole calculation. No routine can loop for ever: the
// footpoint iteration stops after kFootpointIterationLimit steps with a fault.
#include <string>
#include <string_view>

namespace norvane {

// Why a calculation was abandoned. None means success.
enum class Fault {
  None,
  Overflow,  // a value grew beyond the range of a double (e.g. typed 1E999)
  DivisionByZero,
  InvalidOperation,  // e.g. 0/0, sqrt of a negative number, a NaN input
  OutOfRange,        // coordinates far outside the range the projections hold
  NoConvergence,     // the footpoint iteration reached its limit
  NoInput,           // no coordinate pair is known to start from
};

// pi as the converter uses it, and the two conversions that every angle passes through.
inline constexpr double kPi = 3.141592654;
// degrees -> radians: deg * (3.141592654 / 180), the double 0.017453292522222223.
inline constexpr double kDegToRad = kPi / 180.0;
inline double DegToRad(double deg) { return deg * kDegToRad; }
// radians -> degrees: rad * 180 / 3.141592654 (multiplied, then divided).
inline double RadToDeg(double rad) { return rad * 180.0 / kPi; }

struct Ellipsoid {
  double a;                  // semi-major axis (metres)
  double inverseFlattening;  // 1/f
};
inline constexpr Ellipsoid kInternational1924{6378388.0, 297.0};
// The ten-decimal value of the Hong Kong tables, not 298.257223563.
inline constexpr Ellipsoid kWgs84{6378137.0, 298.2572235634};

// A Transverse Mercator projection definition. Origins in decimal degrees with the
// digits of the tables; converted to radians with DegToRad when the record is filled.
struct Projection {
  double lat0Deg;  // latitude of origin (degrees)
  double lon0Deg;  // central meridian (degrees)
  double fn;       // false northing (metres)
  double fe;       // false easting (metres)
  double k0;       // scale factor on the central meridian
};
// 1980 HK grid on International 1924: origin 22 18 43.68 N, 114 10 42.80 E.
inline constexpr Projection kGrid80Projection{22.312133333333, 114.17855555556, 819069.80,
                                              836694.05, 1.0};
// 1984 HK grid on WGS 84: origin 22 18 38.17 N, 114 10 51.65 E, false origin as the 1980 grid.
inline constexpr Projection kGrid84Projection{22.3106027777778, 114.181013888889, 819069.80,
                                              836694.05, 1.0};
inline constexpr Projection kUtmZone49{0.0, 111.0, 0.0, 500000.0, 0.9996};
inline constexpr Projection kUtmZone50{0.0, 117.0, 0.0, 500000.0, 0.9996};

// The active parameter record. Fields in the order the converter has always kept them.
// e2 and A0..A6 are derived from f (SetProjection and every projection call recompute them).
struct ProjectionParams {
  double a = 0;                           // semi-major axis (metres)
  double f = 0;                           // flattening, 1 / inverse flattening
  double e2 = 0;                          // first eccentricity squared, 2f - f^2
  double A0 = 0, A2 = 0, A4 = 0, A6 = 0;  // meridian-arc coefficients
  double lat0 = 0;                        // latitude of origin (radians)
  double lon0 = 0;                        // central meridian (radians)
  double FN = 0;                          // false northing (metres)
  double FE = 0;                          // false easting (metres)
  double k0 = 0;                          // central scale factor
};

// Fills every field of the record: ellipsoid, derived terms and projection.
void SetProjection(ProjectionParams& p, const Ellipsoid& ellipsoid, const Projection& projection);
// Recomputes e2, A0, A2, A4, A6 from p.f.
void DeriveEllipsoidTerms(ProjectionParams& p);

// Meridian distance (metres) from the equator to latitude phi (radians), on p's ellipsoid.
double MeridianArc(const ProjectionParams& p, double phi);
// Radius of curvature in the meridian, rho (metres), at latitude phi (radians).
double MeridianRadius(const ProjectionParams& p, double phi);
// Radius of curvature in the prime vertical, nu (metres), at latitude phi (radians).
double PrimeVerticalRadius(const ProjectionParams& p, double phi);
// psi = nu / rho at latitude phi (radians).
double CurvatureRatio(const ProjectionParams& p, double phi);

// The latitude (radians) whose meridian arc equals m (metres). Starts from p.lat0 and
// steps phi -= (M(phi) - m) / a while |M(phi) - m| > 0.00001 m. Points of Hong Kong need
// at most about six steps; after kFootpointIterationLimit steps the result is a fault.
// *iterations (optional) receives the number of steps taken.
inline constexpr int kFootpointIterationLimit = 100;
Fault FootpointLatitude(const ProjectionParams& p, double m, double& phi,
                        int* iterations = nullptr);

// Domain of the projections. Redfearn's series hold to well under a millimetre within a
// few degrees of the central meridian (inverse then forward agrees within 2 mm at 10
// degrees, 0.3 m at 15 degrees) and break down far from it; a point more than
// kMaxLongitudeDifference from the central meridian (forward) or with an easting offset
// beyond the equivalent arc on the equator (inverse) is OutOfRange, as is any latitude
// beyond the poles.
inline constexpr double kMaxLongitudeDifference = 15.0;  // degrees

struct GridPoint {
  double northing = 0;  // metres
  double easting = 0;   // metres
};
struct GeoPoint {
  double lat = 0;  // degrees, north positive
  double lon = 0;  // degrees, east positive
};

// Transverse Mercator forward: latitude and longitude (degrees) to northing and easting
// (metres) in the projection of p. Recomputes p's derived terms first.
Fault TmForward(ProjectionParams& p, double lat, double lon, GridPoint& out);
// Transverse Mercator inverse: northing and easting (metres) to latitude and longitude
// (degrees). *iterations (optional) receives the footpoint steps taken.
Fault TmInverse(ProjectionParams& p, double northing, double easting, GeoPoint& out,
                int* iterations = nullptr);

// The same two projections evaluated term by term exactly as the formulas are written
// (sin 2phi, sin 4phi, sin 6phi each by its own call, tan by its own call). TmForward and
// TmInverse evaluate the multiple-angle sines from one sine and cosine and agree with
// these within 1E-7 m and 1E-12 degrees; these serve as the reference for that claim.
Fault TmForwardPlain(ProjectionParams& p, double lat, double lon, GridPoint& out);
Fault TmInversePlain(ProjectionParams& p, double northing, double easting, GeoPoint& out,
                     int* iterations = nullptr);

// UTM zone by longitude (geodetic -> UTM): zone 50 east of 114 degrees, otherwise 49
// (exactly 114 is zone 49).
const Projection& UtmZoneByLongitude(double lonDeg);
int UtmZoneNumber(double lonDeg);
// UTM zone by trial (UTM -> geodetic): invert in zone 49; when the longitude found lies
// outside 111 to 117 degrees (both ends inside), invert again in zone 50 and take that.
// A zone-49 trial that falls outside the projections' domain counts as outside 111 to 117.
// *zone (optional) receives 49 or 50.
Fault UtmInverseByTrial(ProjectionParams& p, const Ellipsoid& ellipsoid, double northing,
                        double easting, GeoPoint& out, int* zone = nullptr);

// The numeric prefix of a text, as the form runtime reads typed numbers: blanks (spaces,
// tabs, line feeds) are ignored wherever they are, then an optional sign, digits, one
// decimal point, digits and an optional exponent (E or D, optional sign, digits). An empty
// or non-numeric text gives 0. A number too large for a double gives +-infinity (which
// the converter reports as an overflow); one too small gives 0.
double Val(std::string_view text);

// A typed latitude or longitude in packed degrees D.MMSSsss to decimal degrees: the digits
// before the point are degrees, the first two after it minutes (one digit alone counts as
// tens of minutes), the next two seconds (one digit alone: tens of seconds), any further
// digits decimals of a second. 22.184368 -> 22 + 18/60 + 43.68/3600. Blanks anywhere in
// the text are taken out before the digits are counted ("22.18 4368" is 22.184368).
double ParseDms(std::string_view text);
// Decimal degrees to packed D.MMSSsss. Negative angles are packed by their magnitude and
// keep their sign (-22.5 -> -22.3), so that ParseDms reads them back. The seconds are
// rounded to kPackedSecondDecimals decimals (the nine decimals of "####.#########"), and
// seconds that round to 60 carry into the minutes, minutes of 60 into the degrees:
// 22 + 19/60 packs to 22.19, not 22.1859999999.
inline constexpr int kPackedSecondDecimals = 5;
double PackDms(double degrees);
// A packed angle written as text to degrees-minutes-seconds joined by hyphens, filled with
// spaces to 14 characters (longer results are not cut): "22.184368" -> "22-18-43.68   ".
// Blanks in the text are taken out first, as ParseDms does.
// A text without a point is taken as whole degrees ("22" -> "22-00-00.     "); an empty
// degree part is written as 0 (".3" -> "0-30-00.      ").
std::string DmsText(std::string_view text);

// A number written with a mask of '#' digits, a point and `decimals` '#' after it
// ("########.####" has 4): rounded to `decimals` places (from its 15 significant digits,
// halves away from zero), no grouping, no leading zero before the point, trailing zeros of
// the fraction dropped, the point always written, '-' for negative values. A value that is
// not finite gives an empty text.
std::string MaskText(double value, int decimals);
// "########.####": grid coordinates.
std::string GridText(double metres);
// The angle text of a result: DmsText of PackDms written with "####.#########".
std::string AngleText(double degrees);

}  // namespace norvane
