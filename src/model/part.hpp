// The vertices of one path, ring or point list, stored column by column.
#pragma once

#include <cstddef>
#include <memory>
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
  ZorvPart(const ZorvPart& o);
  ZorvPart& operator=(const ZorvPart& o);
  ZorvPart(ZorvPart&&) noexcept = default;
  ZorvPart& operator=(ZorvPart&&) noexcept = default;

  std::vector<double> xs;
  std::vector<double> ys;
  // The z and m columns, or null where the part has none.
  std::vector<double>* zs() { return extras_ && extras_->has_z ? &extras_->z : nullptr; }
  const std::vector<double>* zs() const { return extras_ && extras_->has_z ? &extras_->z : nullptr; }
  std::vector<double>* ms() { return extras_ && extras_->has_m ? &extras_->m : nullptr; }
  const std::vector<double>* ms() const { return extras_ && extras_->has_m ? &extras_->m : nullptr; }

  std::size_t len() const { return xs.size(); }
  bool is_empty() const { return xs.empty(); }
  bool has_z() const { return zs() != nullptr; }
  bool has_m() const { return ms() != nullptr; }
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
  // Room for n vertices in every present column.
  void reserve(std::size_t n);

  // `[` vertices separated by ", " `]`.
  void write_zorvjson(std::string& out) const;

  // From the runtime (throws ZorvGeoErr; the other way is
  // convert::part_to_runtime).  Consumes the runtime part; has_z and has_m
  // are the runtime geometry's.
  static ZorvPart from_immutable_part(rt::ImmutablePart part, bool has_z, bool has_m);

 private:
  // Both optional columns in one box, made only for a part that has either:
  // most parts have neither, and keep one pointer for the two.
  struct Extras {
    std::vector<double> z;
    std::vector<double> m;
    bool has_z = false;
    bool has_m = false;
  };
  std::unique_ptr<Extras> extras_;
};

}  // namespace ostrel::model
