// Checks of the geometry model that Python cannot reach directly: the number
// form of the text writer, the dimension checks, the curve-start rule and
// the poisoning of shared cells.
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/check.hpp"
#include "model/model.hpp"

using namespace ostrel::model;

namespace {

template <class F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const ZorvGeoErr& e) {
    return e.message();
  } catch (const ostrel::core::Fatal& e) {
    return "FATAL " + e.message();
  }
  return "<no error>";
}

std::string num(double v) {
  std::string s;
  zorvjson::write_f64(s, v);
  return s;
}

template <class T>
std::string text(const T& v) {
  std::string s;
  v.write_zorvjson(s);
  return s;
}

void numbers() {
  struct Case {
    double v;
    std::string want;
  } cases[] = {
      {1.0, "1"},
      {-0.0, "-0"},
      {2.5, "2.5"},
      {0.1, "0.1"},
      {1e21, "1000000000000000000000"},
      {1e-7, "0.0000001"},
      {0.1 + 0.2, "0.30000000000000004"},
      {-123.456, "-123.456"},
      // Large numbers keep their shortest digits, padded with zeros, not the
      // exact binary value (99999999999999991611392 for 1e23).
      {1e23, "100000000000000000000000"},
      {-1e25, "-10000000000000000000000000"},
      {9999999999999998.0, "9999999999999998"},
      {1e16, "10000000000000000"},
      {12345678901234567890.0, "12345678901234567000"},
      {1.5e-300, "0." + std::string(299, '0') + "15"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  for (const Case& c : cases) EXPECT_EQ(num(c.v), c.want);
  // The extremes fit and read back exactly.
  for (double v : {std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                   -std::numeric_limits<double>::min()}) {
    std::string s = num(v);
    EXPECT(s.find('e') == std::string::npos);
    EXPECT(std::strtod(s.c_str(), nullptr) == v);
  }
}

void coords_and_parts() {
  ZorvCoord c = ZorvCoord::xym(1, 2, 3);
  EXPECT(c.mod_idx(2, 9).m() == 9.0);
  EXPECT_EQ(
      error_of([&] { c.mod_idx(3, 0); }),
      "Invalid dims for operation: Failed index based access to coord with dims: xym, buffer representation "
      "len: 3, idx: 3");
  EXPECT_EQ(error_of([&] { c.mod_z(0); }),
            "Invalid dims for operation: Tried to set z value on coord with dims: xym");
  EXPECT_EQ(error_of([&] { ZorvCoord::xyz(1, 2, 3).mod_m(0); }),
            "Invalid dims for operation: Tried to set m value on coord with dims: xyz");

  ZorvPart xyz(true, false);
  xyz.push_slice_coord(std::vector<double>{1, 2});
  ZorvPart xym(false, true);
  xym.push_slice_coord(std::vector<double>{1, 2, 7});
  xym.push_coord(3, 4, 5.0);  // z dropped, m missing
  ZorvPart xyzm(true, true);
  xyzm.insert_coord(0, ZorvCoord::xy(1, 2));
  xyzm.push_slice_coord(std::vector<double>{});
  EXPECT_EQ(text(xyz), "[[1, 2, NaN]]");
  EXPECT_EQ(text(xym), "[[1, 2, 7], [3, 4, NaN]]");
  EXPECT_EQ(text(xyzm), "[[1, 2, NaN, NaN], [NaN, NaN, NaN, NaN]]");
  EXPECT(!xym.get_coord(2) && !xym.set_coord(2, ZorvCoord::xy(0, 0)) && !xym.remove_coord(2));
  EXPECT(xym.len() == 2);
  ZorvPart empty;
  EXPECT(!empty.pop_coord());
}

void collections() {
  PartCollection xy(false, false);
  Cell<ZorvPart> z_part(ZorvPart(true, false));  // empty, but its columns count
  EXPECT_EQ(error_of([&] { xy.push_line(z_part); }), "Mismatching dimensions, expected 'XY' but got 'XYZ'");
  // The dimension check comes before the index test.
  EXPECT_EQ(error_of([&] { xy.set_line(5, z_part); }), "Mismatching dimensions, expected 'XY' but got 'XYZ'");
  Cell<ZorvPart> a(ZorvPart{});
  a.lock()->push_coord(1, 2);
  a.lock()->push_coord(3, 4);
  xy.push_line(a);
  xy.push_line(Cell<ZorvPart>(ZorvPart{}));
  EXPECT(!xy.set_line(2, Cell<ZorvPart>(ZorvPart{})));
  EXPECT(xy.len() == 2);
  EXPECT_EQ(text(xy), "[[[1, 2], [3, 4]], []]");
  EXPECT_EQ(error_of([&] { PartCollection::from_iter(true, false, {Cell<ZorvPart>(ZorvPart(true, true))}); }),
            "Mismatching dimensions, expected 'XYZ' but got 'XYZM'");
}

void curve_parts() {
  ZorvCurvePart p;
  EXPECT_EQ(
      error_of([&] { p.push(ZorvCoord::xy(0, 0), CircularArc{1, 1}); }),
      "Curved parts must have starting vertex with no curve data: 'CurvePart::push curve data on empty'");
  EXPECT_EQ(
      error_of([&] { p.set(0, ZorvCoord::xy(0, 0), BezierCurve{}); }),
      "Curved parts must have starting vertex with no curve data: 'CurvePart::set nonlinear curve data at "
      "index 0'");
  EXPECT_EQ(
      error_of([&] { p.insert(0, ZorvCoord::xy(0, 0), EllipticArc{}); }),
      "Curved parts must have starting vertex with no curve data: 'CurvePart::insert nonlinear curve data at "
      "index 0'");
  p.push(ZorvCoord::xy(0, 0), Linear{});
  p.push(ZorvCoord::xy(2, 0), CircularArc{1, 1});
  p.push(ZorvCoord::xy(3, 0), BezierCurve{1, 1, 2, 1});
  EXPECT_EQ(text(p), "[[0, 0], {\"c\": [[2, 0], [1, 1]]}, {\"b\": [[3, 0], [1, 1], [2, 1]]}]");
  EXPECT(p.set(0, ZorvCoord::xy(5, 5), Linear{}).has_value());

  // Removing the first vertex may not leave a curve at the start.
  EXPECT_EQ(
      error_of([&] { p.remove(0); }),
      "Curved parts must have starting vertex with no curve data: 'CurvePart::remove first curve, curve that "
      "would replace it is nonlinear'");
  EXPECT(p.len() == 3);
  // Removing vertex 1 keeps vertex 2's own curve.
  auto removed = p.remove(1);
  EXPECT(removed && std::holds_alternative<CircularArc>(removed->second));
  EXPECT(p.len() == 2 && std::holds_alternative<BezierCurve>(p.get(1)->second));
  EXPECT(!p.get(2) && !p.remove(2));

  // A replacement of the same kind reuses the freed slot.
  ZorvCurvePart q;
  q.push(ZorvCoord::xy(0, 0), Linear{});
  q.push(ZorvCoord::xy(1, 0), CircularArc{0.5, 0.5});
  std::size_t slots = q.curves.circular_arcs().slot_count();
  q.set_curve(1, CircularArc{0.5, -0.5});
  EXPECT(q.curves.circular_arcs().slot_count() == slots);
  q.clear();
  q.push(ZorvCoord::xy(0, 0), Linear{});
  EXPECT(q.len() == 1 && q.curves.index()[0].kind == 0 && q.curves.index()[0].key == 0);
  ZorvCurvePart none;
  EXPECT(!none.pop());

  // Elliptic arcs: ratio 1 leaves rotation and axis out; NaN does not.
  ZorvCurvePart e(true, false);
  e.push(ZorvCoord::xyz(0, 0, 9), Linear{});
  e.push(ZorvCoord::xyz(2, 0, 9), EllipticArc{1, 0, 5, 5, 1.0, true, false});
  e.push(ZorvCoord::xyz(2, 0, 9), EllipticArc{1, 0, 0.5, 1, 0.5, true, false});
  e.push(ZorvCoord::xyz(2, 0, 9), EllipticArc{1, 0, 0.5, 1, std::nan(""), false, true});
  EXPECT_EQ(
      text(e),
      "[[0, 0, 9], {\"a\": [[2, 0, 9], [1, 0], 1, 0]}, {\"a\": [[2, 0, 9], [1, 0], 1, 0, 0.5, 1, 0.5]}, "
      "{\"a\": [[2, 0, 9], [1, 0], 0, 1, 0.5, 1, NaN]}]");
}

// Random edits of a curve part against a plain list of (x, curve) pairs: the
// slot stores must hand back exactly what each vertex was given.
void curve_part_matches_a_plain_list() {
  std::vector<std::pair<double, CurveData>> mirror;
  ZorvCurvePart part;
  unsigned seed = 12345;
  auto rnd = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto curve_of = [&](unsigned kind, double v) -> CurveData {
    switch (kind) {
      case 0:
        return Linear{};
      case 1:
        return CircularArc{v, -v};
      case 2:
        return EllipticArc{v, v, v, v, v, true, false};
      default:
        return BezierCurve{v, v, -v, -v};
    }
  };
  auto check = [&] {
    EXPECT(part.len() == mirror.size());
    std::size_t stored = 0;
    for (std::size_t i = 0; i < mirror.size(); ++i) {
      auto got = part.get(i);
      EXPECT(got && got->first.x() == mirror[i].first && got->second == mirror[i].second);
      if (!is_linear(mirror[i].second)) ++stored;
    }
    EXPECT(part.curves.circular_arcs().occupied() + part.curves.elliptic_arcs().occupied() +
               part.curves.bezier_curves().occupied() ==
           stored);
  };
  for (int step = 0; step < 4000; ++step) {
    if (step % 50 == 0) check();
    const double v = step;
    const std::size_t n = mirror.size();
    CurveData curve = curve_of(rnd(4), v);
    switch (rnd(5)) {
      case 0:
        if (n == 0) curve = Linear{};
        part.push(ZorvCoord::xy(v, 0), curve);
        mirror.emplace_back(v, curve);
        break;
      case 1: {
        std::size_t idx = rnd(static_cast<unsigned>(n) + 1);
        if (idx == 0) curve = Linear{};
        part.insert(idx, ZorvCoord::xy(v, 0), curve);
        mirror.insert(mirror.begin() + static_cast<std::ptrdiff_t>(idx), {v, curve});
        break;
      }
      case 2:
        if (n > 1) {
          std::size_t idx = 1 + rnd(static_cast<unsigned>(n) - 1);
          part.set_curve(idx, curve);
          mirror[idx].second = curve;
        }
        break;
      case 3:
        if (n > 0) {
          std::size_t idx = rnd(static_cast<unsigned>(n));
          if (idx == 0 && n > 1 && !is_linear(mirror[1].second)) break;
          part.remove(idx);
          mirror.erase(mirror.begin() + static_cast<std::ptrdiff_t>(idx));
        }
        break;
      default:
        if (n > 0 && part.pop()) mirror.pop_back();
    }
  }
  check();
}

void kinds() {
  ZorvGeometryPoint pt;
  pt.x = 1;
  pt.y = 2;
  EXPECT_EQ(text(pt), "{\"x\": 1, \"y\": 2}");
  pt.y = std::nan("");
  pt.spatial_reference = SpatialReference{.wkid = 4326};
  EXPECT_EQ(text(pt), "{\"spatialReference\": {\"wkid\":4326}, \"x\": 1, \"y\": NaN}");
  ZorvGeometryPoint empty;
  empty.m = 3;
  EXPECT_EQ(text(empty), "{\"x\": null, \"y\": null, \"m\": null}");

  ZorvGeometryEnvelope env;
  env.idmin = 7;
  EXPECT_EQ(text(env), "{\"xmin\": null, \"ymin\": null, \"xmax\": null, \"ymax\": null, \"idmin\": null}");

  SpatialReference sr{.wkid = 102100, .latest_wkid = 3857, .wkt = std::string("A \"q\" \\ \n\x01 é")};
  EXPECT_EQ(text(sr), "{\"wkid\":102100,\"latestWkid\":3857,\"wkt\":\"A \\\"q\\\" \\\\ \\n\\u0001 é\"}");
  EXPECT_EQ(text(SpatialReference{}), "{}");

  auto line = ZorvGeometryPolyline::try_new_with_curves(false, false, {}, {}, std::nullopt);
  EXPECT_EQ(text(line), "{\"paths\": []}");
  Cell<ZorvPart> path(ZorvPart(true, false));
  path.lock()->push_coord(1, 2, 3.0);
  path.lock()->push_coord(4, 5.5, 6.0);
  auto zline = ZorvGeometryPolyline::try_new_with_curves(
      true, false, {path}, {Cell<ZorvCurvePart>(ZorvCurvePart(true, false))}, SpatialReference{.wkid = 4326});
  EXPECT_EQ(
      text(zline),
      "{\"hasZ\": true, \"spatialReference\": {\"wkid\":4326}, \"curvePaths\": [[]], \"paths\": [[[1, 2, 3], "
      "[4, 5.5, 6]]]}");
  EXPECT_EQ(error_of([&] { zline.set_linear_parts(Cell<PartCollection>(PartCollection(false, true))); }),
            "Mismatching dimensions, expected 'XYZ' but got 'XYM'");

  // Ring rules come before the dimension check.
  Cell<ZorvPart> two(ZorvPart(true, false));
  two.lock()->push_coord(0, 0);
  two.lock()->push_coord(1, 1);
  EXPECT_EQ(
      error_of([&] { ZorvGeometryPolygon::try_new_with_curves(false, false, {two}, {}, std::nullopt); }),
      "Ring must have sufficient data to enclose an area: Linear ring requires len >= 3, but got: 2");
  Cell<ZorvCurvePart> c2(ZorvCurvePart{});
  c2.lock()->push(ZorvCoord::xy(0, 0), Linear{});
  c2.lock()->push(ZorvCoord::xy(1, 0), Linear{});
  EXPECT_EQ(
      error_of([&] { ZorvGeometryPolygon::try_new_with_curves(false, false, {}, {c2}, std::nullopt); }),
      "Ring must have sufficient data to enclose an area: Curved ring with only two vertices requires a "
      "curved segment in order to enclose an area");
  c2.lock()->set_curve(1, CircularArc{0.5, 0.5});
  auto poly = ZorvGeometryPolygon::try_new_with_curves(false, true, {}, {}, std::nullopt);
  EXPECT_EQ(text(poly), "{\"hasM\": true, \"rings\": []}");
  EXPECT(poly.is_empty());

  ZorvGeometryMultipoint mp(false, true);
  mp.points.lock()->push_coord(1, 2, std::nullopt, 5.0);
  EXPECT_EQ(text(mp), "{\"hasM\": true, \"points\": [[1, 2, 5]]}");
  EXPECT_EQ(error_of([&] { mp.set_points(Cell<ZorvPart>(ZorvPart{})); }),
            "Mismatching dimensions, expected 'XYM' but got 'XY'");
}

void poisoning() {
  Cell<ZorvPart> part(ZorvPart{});
  // An ordinary model error unwinding through a guard leaves the cell usable.
  error_of([&] {
    auto g = part.lock();
    throw ZorvGeoErr(ZorvGeoErr::Kind::ResolutionError, "x");
  });
  EXPECT(!part.is_poisoned());
  // A fatal error poisons it.
  error_of([&] {
    auto g = part.lock();
    ostrel::core::fatal("boom");
  });
  EXPECT(part.is_poisoned());
  EXPECT_EQ(error_of([&] { part.lock(); }), "Lock error: 'poisoned lock: another task failed inside'");
  PartCollection coll(false, false);
  EXPECT_EQ(error_of([&] { coll.push_line(part); }), "FATAL Lock poisoned: PoisonError { .. }");
  // Locking twice on one thread is reported, not a hang.
  Cell<ZorvPart> other(ZorvPart{});
  EXPECT(error_of([&] {
           auto g = other.lock();
           auto h = other.lock();
         }).rfind("FATAL Internal error", 0) == 0);
}

// The list of a collection's parts keeps its first part in itself and moves
// to the heap from the second: every edit across that step keeps the parts,
// their order and their owners' counts (a lost or doubled reference shows).
void part_list() {
  auto ids = [](const PartList<std::shared_ptr<int>>& l) {
    std::string s;
    for (const auto& p : l) s += std::to_string(*p) + (p.use_count() == 1 ? "" : "!");
    return s;
  };
  auto item = [](int v) { return std::make_shared<int>(v); };
  PartList<std::shared_ptr<int>> l;
  EXPECT(l.empty() && ids(l).empty());
  l.push_back(item(1));
  EXPECT_EQ(ids(l), "1");
  l.insert(l.begin(), item(0));  // onto the heap
  l.insert(l.end(), item(3));
  l.insert(l.begin() + 2, item(2));
  EXPECT_EQ(ids(l), "0123");
  l.erase(l.begin() + 1);
  l.erase(l.begin());
  EXPECT_EQ(ids(l), "23");
  l.pop_back();
  EXPECT(l.size() == 1 && *l.back() == 2);

  PartList<std::shared_ptr<int>> one(std::move(l));  // the inline part moves
  EXPECT(l.empty() && ids(one) == "2");
  PartList<std::shared_ptr<int>> many;
  for (int v : {7, 8, 9}) many.push_back(item(v));
  one.swap(many);
  EXPECT_EQ(ids(one) + "|" + ids(many), "789|2");
  many = std::move(one);  // a heap list over an inline one
  EXPECT_EQ(ids(many) + "|" + ids(one), "789|");
  one.push_back(item(5));
  one.erase(one.begin());
  EXPECT(one.empty());
  many.clear();
  many.push_back(item(4));
  EXPECT_EQ(ids(many), "4");
}

void errors() {
  EXPECT_EQ(ZorvGeoErr::short_coord_list({1.0, 2.5, 1e21}).message(), "Short coord list: [1.0, 2.5, 1e21]");
  EXPECT_EQ(ZorvGeoErr(ZorvGeoErr::Kind::VaskelithLibraryError, "bad").message(),
            "Vaskelith library error: 'bad'");
  EXPECT_EQ(ZorvGeoErr::mismatch(ZorvGeoErr::Kind::MismatchingAttrType, "a", "b").message(),
            "Mismatching attr type, expected 'a' but got 'b'");
}

}  // namespace

int main() {
  numbers();
  coords_and_parts();
  collections();
  curve_parts();
  curve_part_matches_a_plain_list();
  kinds();
  poisoning();
  part_list();
  errors();
  return check::report("model checks passed");
}
