// The parts of a polyline or polygon, all of one fixed dimensionality.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/fatal.hpp"
#include "model/cell.hpp"
#include "model/curvepart.hpp"
#include "model/geoerr.hpp"
#include "model/part.hpp"
#include "model/part_list.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"

namespace ostrel::model {

// P is ZorvPart or ZorvCurvePart.  Every part that enters through push_line,
// insert_line, set_line or from_iter has the collection's dimensions at that
// moment.  The caller holds the collection's own lock; `lines` may be read,
// indexed, shortened and cleared directly.
template <class P>
class DimensionedCollection {
 public:
  using PartCell = Cell<P>;

  DimensionedCollection(bool has_z, bool has_m) : has_z(has_z), has_m(has_m) {}

  PartList<PartCell> lines;
  bool has_z;
  bool has_m;

  CoordDims dims() const { return make_dims(has_z, has_m); }
  std::size_t len() const { return lines.size(); }

  // Each throws MismatchingDimensions (expected: the collection, got: the
  // part) before anything else; the offered reference is then dropped.
  void push_line(PartCell part) {
    check_dims(part);
    lines.push_back(std::move(part));
  }
  // idx <= len().
  void insert_line(std::size_t idx, PartCell part) {
    check_dims(part);
    if (idx > lines.size()) core::fatal("Internal error: part insertion past the end of a collection");
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(idx), std::move(part));
  }
  // Puts the part at idx and returns the one it replaces; past the end the
  // part is dropped and the result is absent.
  std::optional<PartCell> set_line(std::size_t idx, PartCell part) {
    check_dims(part);
    if (idx >= lines.size()) return std::nullopt;
    PartCell old = std::move(lines[idx]);
    lines[idx] = std::move(part);
    return old;
  }
  static DimensionedCollection from_iter(bool has_z, bool has_m, std::vector<PartCell> parts) {
    DimensionedCollection c(has_z, has_m);
    for (auto& p : parts) c.push_line(std::move(p));
    return c;
  }

  // `[` parts separated by ", " `]`; each part is locked while it is written
  // (a poisoned part is fatal: "Lock poisoned").
  void write_zorvjson(std::string& out) const {
    out.push_back('[');
    bool first = true;
    for (const PartCell& cell : lines) {
      if (!first) out.append(", ");
      first = false;
      PartCell share = cell;
      auto g = share.read_or_fatal("Lock poisoned");
      g->write_zorvjson(out);
    }
    out.push_back(']');
  }

 private:
  void check_dims(const PartCell& part) const {
    CoordDims got;
    {
      auto g = part.read_or_fatal("Lock poisoned");
      got = g->dims();
    }
    if (got != dims()) throw ZorvGeoErr::mismatching_dimensions(dims(), got);
  }
};

using PartCollection = DimensionedCollection<ZorvPart>;
using CurvePartCollection = DimensionedCollection<ZorvCurvePart>;

}  // namespace ostrel::model
