// The runtime's geodesic distances and ring areas against GeographicLib's
// C++ classes, which solve the same problems with the same arithmetic: the
// results must agree to the bit, over seeded cases of every kind an edge
// can be (near and at the poles, across the antimeridian, near and at
// antipodes, along the equator and meridians, coincident, longitudes many
// turns out, angles on the quadrant boundaries) and on ellipsoids oblate,
// spherical and prolate.
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "engine/geodetic_curve.hpp"

using namespace vaskelith::geodetic;

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b); }

}  // namespace

int main() {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  auto lat = [&] { return u(rng) * 180 - 90; };
  auto lon = [&] { return u(rng) * 360 - 180; };
  // Angles that the reductions to a quadrant or a half turn treat as
  // boundaries, and their neighbours.
  const double boundary[] = {0,    -0.0, 45,   -45,  90,   -90,  135,
                             -135, 180,  -180, 225,  270,  -270, 360,
                             -360, 540,  -540, 720,  std::nextafter(45.0, 0.0),
                             std::nextafter(135.0, 200.0), std::nextafter(180.0, 0.0),
                             std::nextafter(-180.0, 0.0)};
  const std::size_t nb = sizeof boundary / sizeof *boundary;
  // One of the first `count` boundary angles (the first six are latitudes).
  auto pick = [&](std::size_t count) { return boundary[static_cast<std::size_t>(u(rng) * count)]; };
  auto lat_near = [](double x) { return std::clamp(x, -90.0, 90.0); };

  struct Case {
    const char* kind;
    std::function<void(LonLat&, LonLat&)> make;
  };
  const Case cases[] = {
      {"anywhere", [&](LonLat& p, LonLat& q) { p = {lon(), lat()}, q = {lon(), lat()}; }},
      {"near the north pole",
       [&](LonLat& p, LonLat& q) { p = {lon(), 90 - u(rng) * 1e-3}, q = {lon(), 90 - u(rng) * 1e-2}; }},
      {"at a pole",
       [&](LonLat& p, LonLat& q) { p = {lon(), u(rng) < 0.5 ? 90.0 : -90.0}, q = {lon(), lat()}; }},
      {"across the antimeridian",
       [&](LonLat& p, LonLat& q) {
         p = {180 - u(rng) * 0.5, lat()};
         q = {-180 + u(rng) * 0.5, lat_near(p.lat + u(rng) - 0.5)};
       }},
      {"nearly antipodal",
       [&](LonLat& p, LonLat& q) {
         p = {lon(), lat()};
         q = {p.lon + 180 + (u(rng) - 0.5) * 1e-3, lat_near(-p.lat + (u(rng) - 0.5) * 1e-3)};
       }},
      {"antipodal", [&](LonLat& p, LonLat& q) { p = {lon(), lat()}, q = {p.lon + 180, -p.lat}; }},
      {"pole to pole",
       [&](LonLat& p, LonLat& q) {
         p = {lon(), -90 + u(rng) * 1e-6};
         q = {p.lon + 180 + (u(rng) - 0.5) * 1e-6, 90 - u(rng) * 1e-6};
       }},
      {"equatorial", [&](LonLat& p, LonLat& q) { p = {lon(), 0}, q = {p.lon + (u(rng) - 0.5) * 400, 0}; }},
      {"meridional", [&](LonLat& p, LonLat& q) { p = {lon(), lat()}, q = {p.lon, lat()}; }},
      {"short",
       [&](LonLat& p, LonLat& q) {
         p = {lon(), lat()};
         q = {p.lon + (u(rng) - 0.5) * 0.02, lat_near(p.lat + (u(rng) - 0.5) * 0.02)};
       }},
      {"coincident", [&](LonLat& p, LonLat& q) { p = {lon(), lat()}, q = p; }},
      {"longitudes turns out",
       [&](LonLat& p, LonLat& q) {
         p = {lon() + 720 * std::floor(u(rng) * 5 - 2), lat()};
         q = {u(rng) * 2000 - 1000, lat()};
       }},
      {"on boundary angles", [&](LonLat& p, LonLat& q) { p = {pick(nb), pick(6)}, q = {pick(nb), pick(6)}; }},
  };
  struct Shape {
    const char* name;
    double a, f;
  } shapes[] = {{"WGS 84", 6378137, 1 / 298.257223563},
                {"sphere", 6378137, 0},
                {"flatter", 6378137, 1 / 150.0},
                {"prolate", 6378137, -1 / 298.0}};
  int failures = 0;
  for (const Shape& shape : shapes) {
    const Ellipsoid e(shape.a, shape.f);
    const GeographicLib::Geodesic& g = e.geodesic();
    for (const Case& c : cases) {
      long differ = 0;
      for (int k = 0; k < 20000; ++k) {
        LonLat p, q;
        c.make(p, q);
        double want = 0;
        g.Inverse(p.lat, p.lon, q.lat, q.lon, want);
        const double got = e.distance(p, q);
        if (!same_bits(got, want) && differ++ == 0)
          std::printf("     %s, %s: (%.17g, %.17g) to (%.17g, %.17g): %.17g, GeographicLib %.17g\n",
                      shape.name, c.kind, p.lon, p.lat, q.lon, q.lat, got, want);
      }
      std::printf("%s distance, %s, %s: %ld of 20000 differ\n", differ ? "FAIL" : "ok  ", shape.name, c.kind,
                  differ);
      failures += differ != 0;
    }
    // Rings: small, a degree across, large, round a pole, across the
    // antimeridian, either way round, and of scattered points.
    const struct {
      const char* kind;
      double radius, center_lat, center_lon;
      bool scattered;
    } rings[] = {{"a few meters", 1e-4, 0, 0, false},
                 {"a degree", 1, 0, 0, false},
                 {"thirty degrees", 30, 0, 0, false},
                 {"round the north pole", 5, 90, 0, false},
                 {"across the antimeridian", 3, 0, 180, false},
                 {"scattered", 0, 0, 0, true}};
    for (const auto& r : rings) {
      long differ = 0;
      for (int k = 0; k < 1000; ++k) {
        const int n = 3 + static_cast<int>(u(rng) * 40);
        const double clat = r.center_lat ? r.center_lat - u(rng) : lat();
        const double clon = r.center_lon ? r.center_lon : lon();
        const double turn = u(rng) < 0.5 ? 1 : -1;
        std::vector<LonLat> pts;
        for (int i = 0; i < n; ++i) {
          const double t = turn * 2 * M_PI * i / n + u(rng) * 0.1;
          pts.push_back(r.scattered ? LonLat{u(rng) * 1080 - 540, lat()}
                                    : LonLat{clon + 1.5 * r.radius * std::cos(t),
                                             std::clamp(clat + r.radius * std::sin(t), -90.0, 90.0)});
        }
        GeographicLib::PolygonArea poly(g, false);
        for (const LonLat& p : pts) poly.AddPoint(p.lat, p.lon);
        double perimeter = 0, want = 0;
        poly.Compute(false, true, perimeter, want);
        const double got = e.geodesic_ring_area(pts);
        if (!same_bits(got, want) && differ++ == 0)
          std::printf("     %s, %s ring of %d points: %.17g, GeographicLib %.17g\n", shape.name, r.kind, n,
                      got, want);
      }
      std::printf("%s ring area, %s, %s: %ld of 1000 differ\n", differ ? "FAIL" : "ok  ", shape.name,
                  r.kind, differ);
      failures += differ != 0;
    }
  }
  std::printf("%d failure(s)\n", failures);
  return failures ? 1 : 0;
}
