// Checks of the ellipsoidal curve math against values a person can verify.
// Build: g++ -std=c++20 -I runtime/src tests/cpp/geodetic/curve_check.cpp
//        runtime/src/engine/geodetic_curve.cpp -lGeographicLib
#include <cmath>
#include <cstdio>

#include "engine/geodetic_curve.hpp"

using namespace vaskelith::geodetic;

static int failures = 0;

static void near(const char* what, double got, double want, double tol) {
  const bool ok = std::fabs(got - want) <= tol;
  std::printf("%s %-55s got %.6f want %.6f\n", ok ? "ok  " : "FAIL", what, got, want);
  if (!ok) ++failures;
}

int main() {
  const Ellipsoid wgs84(6378137.0, 1 / 298.257223563);
  const LonLat o{0, 0}, e1{1, 0}, n1{0, 1};
  // One degree of longitude on the equator is a/180*pi.
  for (int t = 0; t < 4; ++t)
    near("1 deg of equator, each curve type", Segment(wgs84, CurveType(t), o, e1).length(), 111319.490793,
         1e-3);
  // One degree of latitude from the equator (meridian arc, tabulated 110574.389 m).
  for (int t = 0; t < 4; ++t)
    near("1 deg of meridian, each curve type", Segment(wgs84, CurveType(t), o, n1).length(), 110574.3886,
         1e-3);
  // Along a parallel the loxodrome is the parallel: 1 deg at 60N is half of
  // the radius of curvature times cos(lat) times pi/180.
  {
    const double lat = 60 * M_PI / 180, e2 = (2 - 1 / 298.257223563) / 298.257223563;
    const double nrad = 6378137.0 / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    near("1 deg of the 60N parallel, loxodrome",
         Segment(wgs84, CurveType::Loxodrome, {0, 60}, {1, 60}).length(), nrad * std::cos(lat) * M_PI / 180,
         1e-6);
    // The geodesic is shorter than the parallel; the plane sections lie between.
    const double geo = Segment(wgs84, CurveType::Geodesic, {0, 60}, {1, 60}).length();
    const double ge = Segment(wgs84, CurveType::GreatElliptic, {0, 60}, {1, 60}).length();
    const double ns = Segment(wgs84, CurveType::NormalSection, {0, 60}, {1, 60}).length();
    near("great elliptic exceeds geodesic by a hair (sign)", ge >= geo ? 1 : 0, 1, 0);
    near("normal section not shorter than geodesic", ns >= geo - 1e-7 ? 1 : 0, 1, 0);
    near("great elliptic within 1 mm of geodesic over 55 km", ge - geo, 0, 1e-3);
  }
  // A long line: great elliptic and normal section are longer than the
  // geodesic, but only slightly (meters over thousands of km).
  {
    const LonLat a{-74, 40.7}, b{139.7, 35.7};
    const double geo = Segment(wgs84, CurveType::Geodesic, a, b).length();
    const double ge = Segment(wgs84, CurveType::GreatElliptic, a, b).length();
    const double ns = Segment(wgs84, CurveType::NormalSection, a, b).length();
    const double nsr = Segment(wgs84, CurveType::NormalSection, b, a).length();
    std::printf("     NY-Tokyo geodesic %.3f great elliptic %.3f normal section %.3f / reversed %.3f\n", geo,
                ge, ns, nsr);
    near("NY-Tokyo great elliptic - geodesic in [0, 100] m", std::clamp(ge - geo, 0.0, 100.0), ge - geo, 0);
    near("NY-Tokyo normal section - geodesic in [0, 100] m", std::clamp(ns - geo, 0.0, 100.0), ns - geo, 0);
    // Dividing puts the end points in place and the pieces of equal length.
    const Segment s(wgs84, CurveType::GreatElliptic, a, b);
    auto pts = s.divide(10);
    near("divide: first point", pts.front().lon, a.lon, 0);
    near("divide: last point", pts.back().lat, b.lat, 0);
    near("divide: piece of great elliptic", wgs84.distance(pts[3], pts[4]), ge / 10, 1.0);
  }
  // Area of the 1x1 degree cell at the equator bounded by meridians and
  // parallels (loxodrome edges are the parallels): 12308778361.469 m^2.
  {
    const std::vector<LonLat> cell = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};  // clockwise
    near("area of 1x1 cell, loxodrome edges (km^2)", ring_area(wgs84, CurveType::Loxodrome, cell) / 1e6,
         12308.463894, 1e-6);
    const std::vector<LonLat> ccw = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    near("counter-clockwise ring is negative", ring_area(wgs84, CurveType::Loxodrome, ccw) / 1e6,
         -12308.463894, 1e-6);
    const double geo = ring_area(wgs84, CurveType::Geodesic, cell) / 1e6;
    const double ge = ring_area(wgs84, CurveType::GreatElliptic, cell) / 1e6;
    const double ns = ring_area(wgs84, CurveType::NormalSection, cell) / 1e6;
    std::printf("     cell area geodesic %.6f great elliptic %.6f normal section %.6f km^2\n", geo, ge, ns);
    near("area of 1x1 cell, geodesic edges (km^2)", geo, 12308.778361, 1e-6);
    near("great elliptic area within 0.01 km^2 of geodesic", ge, geo, 1e-2);
    near("normal section area within 0.01 km^2 of geodesic", ns, geo, 1e-2);
  }
  std::printf("%d failure(s)\n", failures);
  return failures ? 1 : 0;
}
