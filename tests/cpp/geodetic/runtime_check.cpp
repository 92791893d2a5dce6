// Checks of the geodetic and projection engine calls through the runtime's C
// interface, with values a person can verify by hand or from tables.
//
// Linked with the runtime's objects (the internal geometry structs are used
// to make inputs); built by the `checks` target and run by ctest.
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bounded_store.hpp"
#include "handles.hpp"
#include "spatial_reference.hpp"
#include "vaskelith/api.h"

using namespace vaskelith;

static int failures = 0;

struct Slot {
  bool failed = false;
  std::string message;
  QX_ErrorHandler handler{&Slot::callback, this};
  static void callback(void* user, QX_ErrorHandle e) {
    auto* s = static_cast<Slot*>(user);
    s->failed = true;
    s->message = e->message + " " + e->additional;
    QX_Error_destroy(e, nullptr);
  }
  const QX_ErrorHandler* operator&() { return &handler; }
};

static void near(const std::string& what, double got, double want, double tol) {
  const bool ok = std::fabs(got - want) <= tol;
  std::printf("%s %-60s got %.6f want %.6f\n", ok ? "ok  " : "FAIL", what.c_str(), got, want);
  if (!ok) ++failures;
}
static void expect(const std::string& what, bool ok) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

static GeometryPtr polyline(std::vector<std::vector<std::pair<double, double>>> paths, SpatialReferencePtr sr,
                            bool polygon = false) {
  auto g = std::make_shared<Geometry>();
  g->kind = polygon ? GeometryKind::Polygon : GeometryKind::Polyline;
  g->spatial_reference = sr;
  for (auto& path : paths) {
    Part p;
    for (auto [x, y] : path) p.vertices.push_back(Vertex{x, y, kNaN, kNaN});
    g->parts.push_back(p);
  }
  return g;
}
static GeometryPtr point(double x, double y, SpatialReferencePtr sr) {
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Point;
  g->point = Vertex{x, y, kNaN, kNaN};
  g->spatial_reference = sr;
  return g;
}

// Owns a geometry handle for one check.
struct H {
  QX_GeometryHandle h;
  explicit H(GeometryPtr g) : h(make_handle(std::move(g))) {}
  explicit H(QX_GeometryHandle raw) : h(raw) {}
  ~H() {
    if (h) QX_Geometry_destroy(h, nullptr);
  }
  const Geometry& g() const { return *h->geometry; }
};

int main() {
  const SpatialReferencePtr wgs84 = spatial_reference_from_wkid(4326);
  const SpatialReferencePtr webmerc = spatial_reference_from_wkid(3857);
  const SpatialReferencePtr utm32 = spatial_reference_from_wkid(32632);
  const char* names[] = {"geodesic", "loxodrome", "great elliptic", "normal section", "shape preserving"};

  // ---- length ----
  {
    H line(polyline({{{0, 0}, {1, 0}}}, wgs84));
    for (int t = 0; t < 5; ++t) {
      Slot s;
      near(std::string("length of 1 deg of equator, ") + names[t],
           QX_GeometryEngine_lengthGeodetic(line.h, nullptr, t, &s), 111319.490793, 1e-3);
    }
    Slot s;
    QX_UnitHandle km = QX_LinearUnit_create(9036, &s);
    near("length in kilometers", QX_GeometryEngine_lengthGeodetic(line.h, km, 0, &s), 111.319490793, 1e-9);
    QX_Unit_destroy(km, nullptr);
    Slot bad;
    QX_GeometryEngine_lengthGeodetic(line.h, nullptr, 7, &bad);
    expect("unknown curve type is an error", bad.failed);
    H nosr(polyline({{{0, 0}, {1, 0}}}, nullptr));
    Slot bad2;
    QX_GeometryEngine_lengthGeodetic(nosr.h, nullptr, 0, &bad2);
    expect("geometry without spatial reference is an error", bad2.failed);
  }
  // A projected reference is measured on its geographic base: the Web
  // Mercator image of the same degree has the same geodetic length.
  {
    H line(polyline({{{0, 0}, {111319.49079327357, 0}}}, webmerc));
    Slot s;
    near("Web Mercator line measured on the ellipsoid",
         QX_GeometryEngine_lengthGeodetic(line.h, nullptr, 0, &s), 111319.490793, 1e-3);
    // Shape preserving in the ellipsoidal Mercator (3395) is the loxodrome:
    // the straight line from (0,0) to (10E,10N) has the rhumb length.
    // y = a ln(tan(pi/4 + lat/2) ((1 - e sin lat) / (1 + e sin lat))^(e/2)).
    const double ecc = std::sqrt((2 - 1 / 298.257223563) / 298.257223563), lat = 10 * M_PI / 180;
    const double my =
        6378137.0 * std::log(std::tan(M_PI / 4 + lat / 2) *
                             std::pow((1 - ecc * std::sin(lat)) / (1 + ecc * std::sin(lat)), ecc / 2));
    H diag(polyline({{{0, 0}, {1113194.9079327357, my}}}, spatial_reference_from_wkid(3395)));
    H diag_ll(polyline({{{0, 0}, {10, 10}}}, wgs84));
    Slot s2, s3;
    near("shape preserving in Web Mercator = loxodrome",
         QX_GeometryEngine_lengthGeodetic(diag.h, nullptr, 4, &s2),
         QX_GeometryEngine_lengthGeodetic(diag_ll.h, nullptr, 1, &s3), 1e-2);
  }
  // ---- area ----
  {
    H cell(polyline({{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}, wgs84, true));
    Slot s;
    near("area of 1x1 cell, geodesic (km^2)", QX_GeometryEngine_areaGeodetic(cell.h, nullptr, 0, &s) / 1e6,
         12308.778361, 1e-6);
    near("area of 1x1 cell, loxodrome (km^2)", QX_GeometryEngine_areaGeodetic(cell.h, nullptr, 1, &s) / 1e6,
         12308.463894, 1e-6);
    near("area of 1x1 cell, shape preserving in 4326 (km^2)",
         QX_GeometryEngine_areaGeodetic(cell.h, nullptr, 4, &s) / 1e6, 12308.463894, 1e-6);
    // In Web Mercator a rectangle is bounded by meridians and parallels too.
    const double y1 = 6378137.0 * std::log(std::tan(M_PI / 4 + 0.5 * M_PI / 180));
    H cell_m(polyline({{{0, 0}, {0, y1}, {111319.49079327357, y1}, {111319.49079327357, 0}}}, webmerc, true));
    near("area of 1x1 cell drawn in Web Mercator, shape preserving (km^2)",
         QX_GeometryEngine_areaGeodetic(cell_m.h, nullptr, 4, &s) / 1e6, 12308.463894, 1e-6);
    // A square around the north pole in a polar stereographic plane: the
    // ring winds around the pole.  Its densified outline (geodesic pieces of
    // 1 km) must enclose the same area.
    H polar(polyline({{{-1e6, -1e6}, {-1e6, 1e6}, {1e6, 1e6}, {1e6, -1e6}}},
                     spatial_reference_from_wkid(3413), true));
    const double sp = QX_GeometryEngine_areaGeodetic(polar.h, nullptr, 4, &s);
    H polar_d(QX_GeometryEngine_densifyGeodetic(polar.h, nullptr, 4, 1000, &s));
    near("square around the pole in 3413: shape preserving area / densified geodesic area",
         sp / QX_GeometryEngine_areaGeodetic(polar_d.h, nullptr, 0, &s), 1, 1e-7);
    // 3413 has true scale at 70N and shrinks toward the pole (scale 0.97
    // there), so the ground area is some 6% larger than the map's 4e12 m^2.
    near("square around the pole in 3413: 4e12 m^2 / pole scale^2", sp / 4e12, 1.06, 0.01);
    QX_UnitHandle ha = QX_AreaUnit_create(109401, &s);
    near("area in hectares", QX_GeometryEngine_areaGeodetic(cell.h, ha, 0, &s), 1230877.8361, 1e-3);
    QX_Unit_destroy(ha, nullptr);
    H line(polyline({{{0, 0}, {1, 0}}}, wgs84));
    near("area of a polyline is 0", QX_GeometryEngine_areaGeodetic(line.h, nullptr, 0, &s), 0, 0);
    // A hole (counter-clockwise) takes its area away.
    H holed(
        polyline({{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}}},
                 wgs84, true));
    H hole(polyline({{{0.25, 0.25}, {0.25, 0.75}, {0.75, 0.75}, {0.75, 0.25}}}, wgs84, true));
    near("hole is subtracted", QX_GeometryEngine_areaGeodetic(holed.h, nullptr, 0, &s),
         QX_GeometryEngine_areaGeodetic(cell.h, nullptr, 0, &s) -
             QX_GeometryEngine_areaGeodetic(hole.h, nullptr, 0, &s),
         1e-3);
    expect("no error", !s.failed);
  }
  // ---- densify ----
  {
    H line(polyline({{{0, 0}, {10, 0}}}, wgs84));
    Slot s;
    H d(QX_GeometryEngine_densifyGeodetic(line.h, nullptr, 0, 100000, &s));
    const auto& v = d.g().parts.at(0).vertices;
    near("densify 10 deg of equator by 100 km: vertex count", v.size(), 13, 0);
    near("densify: second vertex at 1113194.9/12 m", v[1].x, 10.0 / 12, 1e-9);
    H ring(polyline({{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}, wgs84, true));
    H dr(QX_GeometryEngine_densifyGeodetic(ring.h, nullptr, 1, 10000, &s));
    near("densified ring keeps its loxodrome area", QX_GeometryEngine_areaGeodetic(dr.h, nullptr, 1, &s),
         QX_GeometryEngine_areaGeodetic(ring.h, nullptr, 1, &s), 1e-2);
    near("densified ring: 12 pieces a side, open ring", dr.g().parts.at(0).vertices.size(), 48, 0);
    expect("no error", !s.failed);
    Slot bad;
    QX_GeometryEngine_densifyGeodetic(line.h, nullptr, 0, 0, &bad);
    expect("zero max segment length is an error", bad.failed);
  }
  // ---- project ----
  {
    Slot s;
    QX_SpatialReferenceHandle to3857 = make_handle(webmerc);
    QX_SpatialReferenceHandle to32632 = make_handle(utm32);
    H o(point(0, 0, wgs84));
    H p(QX_GeometryEngine_project(o.h, to3857, &s));
    near("(0,0) to Web Mercator x", p.g().point.x, 0, 1e-9);
    near("(0,0) to Web Mercator y", p.g().point.y, 0, 1e-9);
    H q0(point(10, 50, wgs84));
    H q(QX_GeometryEngine_project(q0.h, to3857, &s));
    // x = R lon, y = R ln tan(pi/4 + lat/2), R = 6378137.
    near("(10E,50N) to Web Mercator x", q.g().point.x, 6378137.0 * 10 * M_PI / 180, 1e-6);
    near("(10E,50N) to Web Mercator y", q.g().point.y,
         6378137.0 * std::log(std::tan(M_PI / 4 + 25 * M_PI / 180)), 1e-6);
    // On the central meridian of UTM 32N (9E): x = 500000, y = 0.9996 * meridian arc (4984944.378 m to 45N).
    H u0(point(9, 45, wgs84));
    H u(QX_GeometryEngine_project(u0.h, to32632, &s));
    near("(9E,45N) to UTM 32N easting", u.g().point.x, 500000, 1e-6);
    near("(9E,45N) to UTM 32N northing", u.g().point.y, 0.9996 * 4984944.378, 1e-2);
    // And back.
    QX_SpatialReferenceHandle to4326 = make_handle(wgs84);
    H back(QX_GeometryEngine_project(u.h, to4326, &s));
    near("UTM back to degrees: lon", back.g().point.x, 9, 1e-9);
    near("UTM back to degrees: lat", back.g().point.y, 45, 1e-9);
    // An envelope projects to the extent of its densified outline: the
    // Mercator image of [0,10]x[40,50] spans the latitudes' Mercator y.
    auto env = std::make_shared<Geometry>();
    env->kind = GeometryKind::Envelope;
    env->envelope.xmin = 0;
    env->envelope.xmax = 10;
    env->envelope.ymin = 40;
    env->envelope.ymax = 50;
    env->spatial_reference = wgs84;
    H e(env);
    H pe(QX_GeometryEngine_project(e.h, to3857, &s));
    expect("envelope stays an envelope", pe.g().kind == GeometryKind::Envelope);
    near("envelope ymax", pe.g().envelope.ymax, 6378137.0 * std::log(std::tan(M_PI / 4 + 25 * M_PI / 180)),
         1e-6);
    // A geometry without a reference just takes the target's.
    H bare(point(3, 4, nullptr));
    H pb(QX_GeometryEngine_project(bare.h, to3857, &s));
    expect("no reference: coordinates kept",
           pb.g().point.x == 3 && pb.g().point.y == 4 && pb.g().spatial_reference);
    expect("no error", !s.failed);
    QX_SpatialReference_destroy(to3857, nullptr);
    QX_SpatialReference_destroy(to32632, nullptr);
    QX_SpatialReference_destroy(to4326, nullptr);
  }
  // ---- geodetic buffer ----
  {
    const GeographicLib::Geodesic& geod = GeographicLib::Geodesic::WGS84();
    auto area = [](const H& h) {
      Slot s;
      return QX_GeometryEngine_areaGeodetic(h.h, nullptr, 0, &s);
    };
    // Every vertex of a point's buffer lies at the distance, and the area is
    // that of the geodesic circle, less the slivers outside the chords
    // (at most 2/3 of the maximum deviation times the perimeter).
    struct PointCase {
      const char* what;
      double lon, lat, d;
      int parts;
    };
    const PointCase cases[] = {{"point on the equator", 0, 0, 1000, 1},
                               {"point at the antimeridian", 179.99, 0, 10000, 2},
                               {"point 5.5 km from the north pole", 0, 89.95, 10000, 1},
                               {"point near the south pole", 120, -89.99, 3000, 1},
                               {"large circle (2000 km)", 30, 60, 2000000, 1}};
    for (const PointCase& c : cases) {
      Slot s;
      H pt(point(c.lon, c.lat, wgs84));
      const double dev = c.d * 1e-3;
      H b(QX_GeometryEngine_bufferGeodetic(pt.h, nullptr, 0, c.d, dev, &s));
      expect(std::string(c.what) + ": no error " + s.message, !s.failed);
      if (s.failed) continue;
      double worst = 0, maxlat = -90;
      bool in_range = true;
      for (const Part& part : b.g().parts)
        for (const Vertex& v : part.vertices) {
          in_range = in_range && v.x >= -180 && v.x <= 180 && v.y >= -90 && v.y <= 90;
          maxlat = std::max(maxlat, v.y);
          // Vertices added on the cut lines and at the pole are not on the circle.
          if (std::fabs(std::fabs(v.x) - 180) < 1e-9 || std::fabs(std::fabs(v.y) - 90) < 1e-9) continue;
          double s12;
          geod.Inverse(c.lat, c.lon, v.y, v.x, s12);
          worst = std::max(worst, std::fabs(s12 - c.d));
        }
      near(std::string(c.what) + ": parts", b.g().parts.size(), c.parts, 0);
      expect(std::string(c.what) + ": coordinates within [-180,180]x[-90,90]", in_range);
      near(std::string(c.what) + ": vertices off the circle by (m)", worst, 0, dev);
      // Area of the geodesic circle: pi d^2 to first order; the chords cut
      // at most 2/3 dev * 2 pi d.
      double circle = 0;
      {
        GeographicLib::PolygonArea fine(geod);
        for (int k = 0; k < 20000; ++k) {
          double la, lo;
          geod.Direct(c.lat, c.lon, 360.0 * k / 20000, c.d, la, lo);
          fine.AddPoint(la, lo);
        }
        double per;
        fine.Compute(true, true, per, circle);
      }
      const double got = area(b);
      near(std::string(c.what) + ": area / circle area", got / circle,
           1 - (4 * M_PI * c.d * dev / 3) / circle / 2, (4 * M_PI * c.d * dev / 3) / circle / 2 + 1e-9);
      if (c.lat > 89.9) near(std::string(c.what) + ": reaches the pole", maxlat, 90, 0);
      // Seen as straight lines of longitude and latitude, the edges stay
      // within the deviation of the circle too (their midpoints are checked).
      double worst_mid = 0;
      for (const Part& part : b.g().parts)
        for (std::size_t i = 0; i < part.vertices.size(); ++i) {
          const Vertex& a = part.vertices[i];
          const Vertex& z = part.vertices[(i + 1) % part.vertices.size()];
          if (std::fabs(a.x - z.x) > 180) continue;
          if (std::fabs(std::fabs(a.x) - 180) < 1e-9 && std::fabs(std::fabs(z.x) - 180) < 1e-9) continue;
          if (std::fabs(std::fabs(a.y) - 90) < 1e-9 || std::fabs(std::fabs(z.y) - 90) < 1e-9) continue;
          double s12;
          geod.Inverse(c.lat, c.lon, (a.y + z.y) / 2, (a.x + z.x) / 2, s12);
          worst_mid = std::max(worst_mid, std::fabs(s12 - c.d));
        }
      near(std::string(c.what) + ": edge midpoints off the circle by (m)", worst_mid, 0, dev);
    }
    // Geometries wider than half the globe are buffered in stretches.
    {
      Slot s;
      auto mp = std::make_shared<Geometry>();
      mp->kind = GeometryKind::Multipoint;
      mp->spatial_reference = wgs84;
      mp->points = {Vertex{0, 0, kNaN, kNaN}, Vertex{180, 0, kNaN, kNaN}};
      H two(mp);
      H b(QX_GeometryEngine_bufferGeodetic(two.h, nullptr, 0, 1000000, 100, &s));
      expect("antipodal multipoint: no error " + s.message, !s.failed);
      near("antipodal multipoint: one part here, two cut at the antimeridian", b.g().parts.size(), 3, 0);
      H one(point(0, 0, wgs84));
      H b1(QX_GeometryEngine_bufferGeodetic(one.h, nullptr, 0, 1000000, 100, &s));
      near("antipodal multipoint: twice one circle's area", area(b) / (2 * area(b1)), 1, 1e-6);
      H around(polyline({{{-179, 0}, {-90, 0}, {0, 0}, {90, 0}, {179, 0}}}, wgs84));
      H ba(QX_GeometryEngine_bufferGeodetic(around.h, nullptr, 0, 100000, 10, &s));
      expect("line around the globe: no error " + s.message, !s.failed);
      const double len = QX_GeometryEngine_lengthGeodetic(around.h, nullptr, 0, &s);
      near("line around the globe: area / (2 d L + pi d^2)", area(ba) / (2 * 1e5 * len + M_PI * 1e10), 1,
           1e-3);
      H whole(QX_GeometryEngine_bufferGeodetic(one.h, nullptr, 0, 20100000, 1000, &s));
      // The whole globe as a longitude/latitude rectangle: its edges are the
      // antimeridian and the poles, so only the shape-preserving measure (straight in
      // degrees) sees its area, that of the whole ellipsoid.
      near("a point buffered beyond its antipode covers the globe (km^2)",
           QX_GeometryEngine_areaGeodetic(whole.h, nullptr, 4, &s) / 1e6, 510065621.7, 1);
    }
    // A degree of equator buffered by 1 km: a stadium of 2 d L + pi d^2.
    {
      Slot s;
      H line(polyline({{{0, 0}, {1, 0}}}, wgs84));
      H b(QX_GeometryEngine_bufferGeodetic(line.h, nullptr, 0, 1000, 0.1, &s));
      expect("line buffer: no error " + s.message, !s.failed);
      const double want = 2 * 1000 * 111319.490793 + M_PI * 1000 * 1000;
      near("line buffer area / (2 d L + pi d^2)", area(b) / want, 1, 1e-4);
      near("line buffer: one ring", b.g().parts.size(), 1, 0);
      // Beside the equator the offset is the meridian arc of 1000 m.
      double worst = 0;
      for (const Vertex& v : b.g().parts.at(0).vertices) {
        if (v.x <= 0 || v.x >= 1) continue;
        double s12;
        geod.Inverse(0, v.x, v.y, v.x, s12);
        worst = std::max(worst, std::fabs(s12 - 1000));
      }
      near("line buffer: vertices beside the line off by (m)", worst, 0, 0.1);
      // The same line in kilometers, and in Web Mercator, gives the same buffer.
      QX_UnitHandle km = QX_LinearUnit_create(9036, &s);
      H bk(QX_GeometryEngine_bufferGeodetic(line.h, km, 0, 1, 0.0001, &s));
      near("distance in kilometers", area(bk) / area(b), 1, 1e-6);
      QX_Unit_destroy(km, nullptr);
      H wm(polyline({{{0, 0}, {111319.49079327357, 0}}}, webmerc));
      H bw(QX_GeometryEngine_bufferGeodetic(wm.h, nullptr, 0, 1000, 0.1, &s));
      near("Web Mercator line buffer measured on the ellipsoid", area(bw) / want, 1, 1e-4);
      expect("Web Mercator buffer keeps its reference", bw.g().spatial_reference == webmerc);
      // A point buffer in Web Mercator at 60N: its vertices, taken back to
      // degrees, lie 5 km from the point although Mercator doubles lengths there.
      QX_SpatialReferenceHandle to4326 = make_handle(wgs84);
      QX_SpatialReferenceHandle to3857 = make_handle(webmerc);
      H p60(point(10, 60, wgs84));
      H p60m(QX_GeometryEngine_project(p60.h, to3857, &s));
      H bm(QX_GeometryEngine_bufferGeodetic(p60m.h, nullptr, 0, 5000, 1, &s));
      H bm_ll(QX_GeometryEngine_project(bm.h, to4326, &s));
      double worst_m = 0;
      for (const Vertex& v : bm_ll.g().parts.at(0).vertices) {
        double s12;
        geod.Inverse(60, 10, v.y, v.x, s12);
        worst_m = std::max(worst_m, std::fabs(s12 - 5000));
      }
      near("Web Mercator point buffer: vertices 5 km away, off by (m)", worst_m, 0, 1);
      QX_SpatialReference_destroy(to4326, nullptr);
      QX_SpatialReference_destroy(to3857, nullptr);
      // A line across the antimeridian is cut into two parts.
      H across(polyline({{{179.5, 10}, {-179.5, 10}}}, wgs84));
      H ba(QX_GeometryEngine_bufferGeodetic(across.h, nullptr, 0, 5000, 1, &s));
      near("line across the antimeridian: two parts", ba.g().parts.size(), 2, 0);
      const double len_across = [&] {
        Slot t;
        return QX_GeometryEngine_lengthGeodetic(across.h, nullptr, 0, &t);
      }();
      near("line across the antimeridian: area", area(ba) / (2 * 5000 * len_across + M_PI * 5000 * 5000), 1,
           1e-4);
      expect("no error " + s.message, !s.failed);
    }
    // Polygons grow and shrink; a negative buffer of a 1x1 degree cell by
    // 10 km leaves roughly the cell less a 10 km band.
    {
      Slot s;
      H cell(polyline({{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}, wgs84, true));
      const double a0 = area(cell);
      const double perim = QX_GeometryEngine_lengthGeodetic(cell.h, nullptr, 0, &s);
      H grow(QX_GeometryEngine_bufferGeodetic(cell.h, nullptr, 0, 10000, 1, &s));
      near("cell grown by 10 km: A + P d + pi d^2 (relative)", area(grow) / (a0 + perim * 10000 + M_PI * 1e8),
           1, 1e-4);
      H shrink(QX_GeometryEngine_bufferGeodetic(cell.h, nullptr, 0, -10000, 1, &s));
      near("cell shrunk by 10 km: A - P d + 4 d^2 (relative)", area(shrink) / (a0 - perim * 10000 + 4e8), 1,
           1e-3);
      H gone(QX_GeometryEngine_bufferGeodetic(cell.h, nullptr, 0, -100000, 1, &s));
      expect("cell shrunk by 100 km is empty", gone.g().is_empty());
      H pt(point(0, 0, wgs84));
      H none(QX_GeometryEngine_bufferGeodetic(pt.h, nullptr, 0, -5, 1, &s));
      expect("negative buffer of a point is empty",
             none.g().is_empty() && none.g().kind == GeometryKind::Polygon);
      expect("no error " + s.message, !s.failed);
      // Each curve type buffers (the distance is geodesic; edges follow the type).
      for (int t = 1; t < 5; ++t) {
        Slot u;
        H b(QX_GeometryEngine_bufferGeodetic(cell.h, nullptr, t, 10000, 1, &u));
        expect(std::string("buffer with ") + names[t] + ": no error " + u.message, !u.failed);
      }
    }
    // Collections: the last distance serves the remaining geometries; the
    // union of two overlapping circles is one polygon.
    {
      Slot s;
      QX_VectorHandle gv = QX_Vector_create(QX_ELEMENT_TYPE_GEOMETRY, &s);
      QX_VectorHandle dv = QX_Vector_create(QX_ELEMENT_TYPE_FLOAT64, &s);
      gv->items.emplace_back(point(0, 0, wgs84));
      gv->items.emplace_back(point(0.01, 0, wgs84));
      dv->items.emplace_back(1000.0);
      QX_ArrayHandle sep = QX_GeometryEngine_bufferGeodeticCollection(gv, dv, nullptr, 0, false, 1, &s);
      near("collection without union: one polygon each", QX_Array_getSize(sep, &s), 2, 0);
      QX_ArrayHandle one = QX_GeometryEngine_bufferGeodeticCollection(gv, dv, nullptr, 0, true, 1, &s);
      near("collection with union: one polygon", QX_Array_getSize(one, &s), 1, 0);
      expect("no error " + s.message, !s.failed);
      QX_Array_destroy(sep, nullptr);
      QX_Array_destroy(one, nullptr);
      QX_Vector_destroy(gv, nullptr);
      QX_Vector_destroy(dv, nullptr);
    }
  }
  // ---- transformation catalog ----
  {
    Slot s;
    QX_SpatialReferenceHandle w = make_handle(wgs84);
    QX_SpatialReferenceHandle wm = make_handle(webmerc);
    QX_SpatialReferenceHandle nad27 = make_handle(spatial_reference_from_wkid(4267));
    QX_ArrayHandle none =
        QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical(
            w, wm, nullptr, false, &s);
    near("same datum: no transformation", QX_Array_getSize(none, &s), 0, 0);
    QX_Array_destroy(none, nullptr);
    // Area of interest: Kansas.
    auto aoi = std::make_shared<Geometry>();
    aoi->kind = GeometryKind::Envelope;
    aoi->envelope.xmin = -102;
    aoi->envelope.xmax = -95;
    aoi->envelope.ymin = 37;
    aoi->envelope.ymax = 40;
    aoi->spatial_reference = wgs84;
    H area(aoi);
    QX_ArrayHandle list =
        QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical(
            w, nad27, area.h, true, &s);
    const int64_t n = QX_Array_getSize(list, &s);
    expect("WGS 84 to NAD27 over Kansas: some transformations (" + std::to_string(n) + ")", n > 0);
    bool any_missing = false;
    for (int64_t i = 0; i < n; ++i) {
      QX_ElementHandle el = QX_Array_at(list, i, &s);
      QX_DatumTransformationHandle t = QX_Element_getValueAsDatumTransformation(el, &s);
      QX_StringHandle name = QX_DatumTransformation_getName(t, &s);
      const QX_ByteArray bytes = QX_String_getByteArray(name, &s);
      const bool missing = QX_DatumTransformation_getIsMissingProjectionEngineFiles(t, &s);
      any_missing = any_missing || missing;
      QX_SpatialReferenceHandle in = QX_DatumTransformation_getInputSpatialReference(t, &s);
      QX_SpatialReferenceHandle out = QX_DatumTransformation_getOutputSpatialReference(t, &s);
      std::printf("     %lld: %.*s  missing files %d  type %u  in %u out %u\n", static_cast<long long>(i),
                  static_cast<int>(bytes.size), reinterpret_cast<const char*>(bytes.data), missing,
                  QX_DatumTransformation_getObjectType(t, &s), in ? QX_SpatialReference_getWKID(in, &s) : 0,
                  out ? QX_SpatialReference_getWKID(out, &s) : 0);
      if (i == 0) {
        expect("input is WGS 84", in && QX_SpatialReference_getWKID(in, &s) == 4326);
        expect("output is NAD27", out && QX_SpatialReference_getWKID(out, &s) == 4267);
        QX_DatumTransformationHandle inv = QX_DatumTransformation_getInverse(t, &s);
        QX_SpatialReferenceHandle inv_in = QX_DatumTransformation_getInputSpatialReference(inv, &s);
        expect("the inverse starts in NAD27", inv_in && QX_SpatialReference_getWKID(inv_in, &s) == 4267);
        // Projecting (-98, 38) to NAD27 and back through the inverse comes home.
        QX_GeometryHandle there =
            QX_GeometryEngine_projectWithTransformation(H(point(-98, 38, wgs84)).h, nad27, t, &s);
        if (!missing && there) {
          const Vertex p = there->geometry->point;
          std::printf("     (-98, 38) WGS 84 -> NAD27 (%.8f, %.8f)\n", p.x, p.y);
          expect("NAD27 shift in Kansas is small but real",
                 std::fabs(p.x + 98) > 1e-6 && std::fabs(p.x + 98) < 1e-3);
          QX_GeometryHandle home = QX_GeometryEngine_projectWithTransformation(there, w, inv, &s);
          near("round trip through the inverse: lon", home->geometry->point.x, -98, 1e-7);
          near("round trip through the inverse: lat", home->geometry->point.y, 38, 1e-7);
          // The same transformation, run backwards because it ends in NAD27.
          QX_GeometryHandle home2 = QX_GeometryEngine_projectWithTransformation(there, w, t, &s);
          near("the transformation runs backwards from its output", home2->geometry->point.x, -98, 1e-7);
          QX_Geometry_destroy(home, nullptr);
          QX_Geometry_destroy(home2, nullptr);
        }
        if (there) QX_Geometry_destroy(there, nullptr);
        if (inv_in) QX_SpatialReference_destroy(inv_in, nullptr);
        QX_DatumTransformation_destroy(inv, nullptr);
      }
      if (in) QX_SpatialReference_destroy(in, nullptr);
      if (out) QX_SpatialReference_destroy(out, nullptr);
      QX_String_destroy(name, nullptr);
      QX_DatumTransformation_destroy(t, nullptr);
      QX_Element_destroy(el, nullptr);
    }
    std::printf("     some listed transformation misses grid files: %d\n", any_missing);
    QX_Array_destroy(list, nullptr);
    expect("no error: " + s.message, !s.failed);
    // The projection-engine directory reads back what was set; the
    // engine's own data stays reachable.
    QX_StringHandle d0 = QX_TransformationCatalog_getProjectionEngineDirectory(&s);
    expect("no directory before one is set", d0 == nullptr);
    QX_TransformationCatalog_setProjectionEngineDirectory("/tmp", &s);
    QX_StringHandle d1 = QX_TransformationCatalog_getProjectionEngineDirectory(&s);
    const QX_ByteArray b1 = QX_String_getByteArray(d1, &s);
    expect("directory reads back", std::string(reinterpret_cast<const char*>(b1.data), b1.size) == "/tmp");
    QX_String_destroy(d1, nullptr);
    QX_SpatialReferenceHandle utm = QX_SpatialReference_create(32633, &s);
    expect("PROJ database still found after setting the directory", utm != nullptr && !s.failed);
    if (utm) QX_SpatialReference_destroy(utm, nullptr);
    QX_TransformationCatalog_setProjectionEngineDirectory(nullptr, &s);
    expect("reset directory reads back as none",
           QX_TransformationCatalog_getProjectionEngineDirectory(&s) == nullptr);
    QX_SpatialReference_destroy(w, nullptr);
    QX_SpatialReference_destroy(wm, nullptr);
    QX_SpatialReference_destroy(nad27, nullptr);
  }

  // ---- the process-lifetime stores ----
  {
    // Full, then one more: the least recently used goes, the one asked for
    // again stays, and a value let go of stays good for whoever holds it.
    BoundedStore<int, std::shared_ptr<const int>> store;
    std::shared_ptr<const int> held;
    for (int k = 0; k < static_cast<int>(kStoreCapacity); ++k) {
      auto v = store.get(k, [&] { return std::make_shared<const int>(k); });
      if (k == 1) held = v;
    }
    expect("store keeps up to its capacity", store.size() == kStoreCapacity && *store.find(1) == 1);
    store.find(0);  // 0 used after 1: 2 is now the oldest
    store.put(-1, std::make_shared<const int>(-1));
    expect("store lets go of the least recently used",
           store.size() == kStoreCapacity && !store.find(2) && store.find(0) && store.find(1) && store.find(-1));
    const int capacity = static_cast<int>(kStoreCapacity);
    for (int k = 1000; k < 1000 + capacity; ++k) store.put(k, std::make_shared<const int>(k));
    expect("a value let go of stays good for its holder",
           !store.find(1) && *held == 1 && held.use_count() == 1);
    int made = 0;
    store.get(1000 + capacity - 1, [&] { return ++made, std::make_shared<const int>(0); });
    expect("a kept value is not made again", made == 0);
  }
  std::printf("%d failure(s)\n", failures);
  return failures ? 1 : 0;
}
