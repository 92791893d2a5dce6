// The model of a polyline or a polygon: linear parts and curve parts, each
// kept in a collection of its own.  The two kinds are one template; what sets
// them apart is spelled out in their Kind (polyline.hpp, polygon.hpp).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/geometry_model.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"
#include "model/stamp.hpp"

namespace ostrel::model {

// The texts in which the two kinds differ.
struct MultipartTexts {
  const char* linear_key;  // the zorvjson key of the linear parts ("paths")
  const char* curve_key;   // the key of the curve parts ("curvePaths")
  const char* curve_lock;  // the fatal text of a poisoned curve collection while the document is written
};

// The runtime geometry of a kind and its builder.
template <class R, class B>
struct MultipartTypes {
  using Runtime = R;
  using Builder = B;
  static constexpr bool kRings = std::is_same_v<R, rt::Polygon>;
};

// Kind is a MultipartTypes that gives:
//   admit(part)  throws when a linear or curve part may not enter
//   read_curve   reads a runtime part with curves back
//   kTexts       its MultipartTexts
//
// The dimensions are those recorded in the linear collection; a replacement
// curve collection must carry the same.  Built through try_new_with_curves or
// the runtime read-back.
template <class Kind>
struct MultipartGeometry : GeometryModel<MultipartGeometry<Kind>, typename Kind::Runtime> {
  using Runtime = typename Kind::Runtime;
  static constexpr MultipartTexts kTexts = Kind::kTexts;

  MultipartGeometry(Cell<PartCollection> linear, std::optional<SpatialReference> sr)
      : linear_parts(std::move(linear)), spatial_reference(std::move(sr)) {}
  // Not copied: two copies would share their collections only once made.
  MultipartGeometry(const MultipartGeometry&) = delete;
  MultipartGeometry& operator=(const MultipartGeometry&) = delete;
  MultipartGeometry(MultipartGeometry&&) noexcept = default;
  MultipartGeometry& operator=(MultipartGeometry&&) noexcept = default;

  Cell<PartCollection> linear_parts;  // the paths or rings

  // The curve paths or curve rings: null while the geometry has never held
  // one nor been asked for the collection, which reads as an empty one of
  // the geometry's dimensions.  Most geometries have no curves, and an empty
  // collection would cost a cell and a watched version in every one.
  const Cell<CurvePartCollection>* curve_parts() const { return curves_.get(); }
  // The collection, made empty now when there is none: a change of the
  // value, so the caller holds the geometry's cell for writing (what was
  // built from the geometry must not miss parts that enter the new
  // collection later).
  const Cell<CurvePartCollection>& made_curve_parts();

 private:
  std::unique_ptr<Cell<CurvePartCollection>> curves_;

 public:
  OptionalSpatialReference spatial_reference;

  // Two new collections with the flags, then every linear part, then every
  // curve part; the first error is thrown.
  static MultipartGeometry try_new_with_curves(bool has_z, bool has_m, std::vector<Cell<ZorvPart>> linear,
                                               std::vector<Cell<ZorvCurvePart>> curves,
                                               std::optional<SpatialReference> sr);

  CoordDims dimensions() const;
  bool has_z() const { return dims_has_z(dimensions()); }
  bool has_m() const { return dims_has_m(dimensions()); }
  // No linear part and no curve part (parts are counted, not vertices).
  bool is_empty() const;

  // The kind's admit() first, then the collection's dimension check.
  void push_linear_part(Cell<ZorvPart> part);
  void push_curve_part(Cell<ZorvCurvePart> part);
  // MismatchingDimensions unless the new collection has the geometry's dimensions.
  void set_linear_parts(Cell<PartCollection> parts);
  void set_curve_parts(Cell<CurvePartCollection> parts);

  // {hasZ, hasM, spatialReference, curve parts (when any), linear parts}.
  // The caller holds the geometry's own cell.
  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).  The runtime's parts are the
  // curve parts in order, then the linear parts in order.
  Runtime as_runtime() const;
  static MultipartGeometry from_runtime(const Runtime& geometry);
  // Records the cells a runtime geometry built from this model depends on
  // (beyond the geometry's own cell).
  void watch(Stamp& stamp) const;
  // The vertices a runtime geometry built from this model holds (a ring's
  // closing vertex counted as given).
  std::size_t vertex_count() const;
  // A polygon's parts and spatial reference as a runtime polyline, each ring
  // closed.
  rt::Polyline to_polyline() const
    requires Kind::kRings;
};

}  // namespace ostrel::model
