// Checks that an operation run in its lean form (one PROJ step between the
// runtime's own conversions of degrees and radians) gives, to the last bit,
// what PROJ's whole pipeline gives: every point in both directions, points
// outside the domain failing with the same reason, and batches of points.
#include <proj.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/check.hpp"
#include "engine/projection_transform.hpp"
#include "errors.hpp"
#include "spatial_reference.hpp"

using namespace vaskelith;
using projection::Coords;
using projection::Operation;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

PjPtr crs(const char* code) {
  return PjPtr(proj_create_from_database(proj_context(), "EPSG", code, PJ_CATEGORY_CRS, 0, nullptr));
}

std::string bits(double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  char text[40];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(u));
  return text;
}

// The points after the operation, bit for bit, or its failure.
std::string outcome(const Operation& op, std::vector<double> xy, PJ_DIRECTION dir) {
  const Coords run{xy.data(), xy.data() + 1, 2 * sizeof(double), xy.size() / 2};
  try {
    op.apply({&run, 1}, dir);
  } catch (const Failure& f) {
    return std::string("failed: ") + f.what() + " / " + f.additional;
  }
  std::string out;
  for (double v : xy) out += bits(v) + ' ';
  return out;
}

}  // namespace

// The lean form's outcome against the pipeline's, named for the report.
#define SAME(got, want, what) ::check::expect_eq((got), (want), (what), __LINE__)

int main() {
  // Longitudes, latitudes, eastings and northings, in and out of the
  // domains, with the values that are no numbers; each goes in as x and y
  // in either direction, whatever the references' units.
  const std::vector<double> values = {-540.0, -180.0, -179.9, -10.5, -0.0, 0.0, 3.0, 12.3, 45.0, 84.0, 89.999,
                                      90.0, 90.0000001, 95.0, 179.99, 180.0, 200.0, 3e5, 5e5, 7e5, 4.4e6,
                                      -2e7, 2.5e7, 1e10, 1e300, NAN, kInf, -kInf};
  // Pairs whose pipelines take the lean form (projection and its inverse,
  // with the conversions on either side, an inverted step, a geocentric
  // step) and pairs whose pipelines stay whole.
  const char* pairs[][2] = {{"4326", "3857"},  {"3857", "4326"},  {"4326", "32633"}, {"32633", "4326"},
                            {"4326", "32760"}, {"4326", "2154"},  {"2154", "4326"},  {"4326", "3413"},
                            {"3413", "4326"},  {"4326", "4978"},  {"3857", "32633"}, {"2056", "4326"}};
  for (const auto& [from, to] : pairs) {
    const PjPtr a = crs(from), b = crs(to);
    EXPECT(a && b);
    if (!a || !b) continue;
    const Operation whole(projection::create_default_operation(a.get(), b.get()));
    const auto lean = Operation::lean(projection::create_default_operation(a.get(), b.get()));
    const std::string pair = std::string(from) + " -> " + to;
    std::vector<double> all;
    for (const PJ_DIRECTION dir : {PJ_FWD, PJ_INV}) {
      for (double x : values) {
        for (double y : values) {
          SAME(outcome(*lean, {x, y}, dir), outcome(whole, {x, y}, dir),
                    (pair + (dir == PJ_FWD ? " forward" : " backward")).c_str());
          if (dir == PJ_FWD) all.insert(all.end(), {x, y});
        }
      }
      // A batch in which some points fail: the same failure, and the same
      // reason (the last point to fail gives it).
      SAME(outcome(*lean, all, dir), outcome(whole, all, dir), (pair + " batch").c_str());
    }
    // A batch of points inside the domain of the pairs from longitude and
    // latitude, there and back.
    std::vector<double> inside;
    for (int i = 0; i < 500; ++i) inside.insert(inside.end(), {14.0 + 0.003 * i, 45.0 - 0.01 * i});
    SAME(outcome(*lean, inside, PJ_FWD), outcome(whole, inside, PJ_FWD), (pair + " inside").c_str());
    const Coords run{inside.data(), inside.data() + 1, 2 * sizeof(double), inside.size() / 2};
    try {
      whole.apply({&run, 1}, PJ_FWD);
    } catch (const Failure&) {
      continue;
    }
    SAME(outcome(*lean, inside, PJ_INV), outcome(whole, inside, PJ_INV), (pair + " inside, back").c_str());
  }
  return check::report("projection checks passed");
}
