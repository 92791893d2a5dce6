// The vertices of one path, ring or point list, stored column by column.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/coord.hpp"
#include "model/rt_fwd.hpp"

namespace ostrel::model {

// Which optional columns exist is fixed at construction; every present column
// has the length of `xs`.  The caller holds the part's lock for every call.
class ZorvPart {
 public:
  explicit ZorvPart(bool has_z = false, bool has_m = false);

  std::vector<double> xs;
  std::vector<double> ys;
  std::optional<std::vector<double>> zs;
  std::optional<std::vector<double>> ms;

  std::size_t len() const { return xs.size(); }
  bool is_empty() const { return xs.empty(); }
  bool has_z() const { return zs.has_value(); }
  bool has_m() const { return ms.has_value(); }
  CoordDims dims() const { return make_dims(has_z(), has_m()); }

  // Appends; a present column without a value gets NaN, a value without a
  // column is dropped.
  void push_coord(double x, double y, std::optional<double> z = std::nullopt,
                  std::optional<double> m = std::nullopt);
  // Appends one vertex from a flat list: the present columns take the numbers
  // in the order x, y, z, m; missing numbers give NaN, extra ones are ignored.
  void push_slice_coord(std::span<const double> values);
  // Inserts before idx (idx <= len()); z and m from the coordinate's layout,
  // NaN where it lacks them.
  void insert_coord(std::size_t idx, const ZorvCoord& c);
  // The vertex, in the part's layout; absent when idx >= len().
  std::optional<ZorvCoord> get_coord(std::size_t idx) const;
  // Replaces the vertex and returns the old one; absent (and no change) past the end.
  std::optional<ZorvCoord> set_coord(std::size_t idx, const ZorvCoord& c);
  std::optional<ZorvCoord> remove_coord(std::size_t idx);
  std::optional<ZorvCoord> pop_coord();
  void clear();

  // `[` vertices separated by ", " `]`.
  void write_zorvjson(std::string& out) const;

  // From the runtime (throws ZorvGeoErr; the other way is
  // convert::part_to_runtime).  Consumes the runtime part; has_z and has_m
  // are the runtime geometry's.
  static ZorvPart from_immutable_part(rt::ImmutablePart part, bool has_z, bool has_m);
};

}  // namespace ostrel::model
