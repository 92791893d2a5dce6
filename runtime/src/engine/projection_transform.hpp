// Coordinate operations on PROJ, and the flattening of true curves that
// must precede them.
//
// Every operation here is normalised for visualisation: geographic
// coordinates go in and come out longitude first, as the runtime stores them
// (x = longitude, y = latitude), whatever axis order the authority defines.
#pragma once

#include <proj.h>

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "geometry.hpp"
#include "spatial_reference.hpp"

namespace vaskelith {
struct DatumTransformation;
}  // namespace vaskelith

namespace vaskelith::projection {

using vaskelith::PjPtr;

// n points whose x and y are read and written in place, each `stride` bytes
// after the one before: a part's interleaved x, y (stride 16) or the x and y
// of an array of vertices go to PROJ where they lie, with no copy.
struct Coords {
  double* x;
  double* y;
  std::size_t stride;
  std::size_t n;
};

// One PROJ coordinate operation, owned; or a chain of them run one after
// the other, each in its own direction (where the runtime stands in for
// PROJ in one step).

class Operation {
 public:
  explicit Operation(PjPtr op) { steps_.emplace_back(std::move(op), PJ_FWD); }
  explicit Operation(std::vector<std::pair<PjPtr, PJ_DIRECTION>> steps) : steps_(std::move(steps)) {}
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // A pipeline of PROJ's that is one step between conversions of degrees
  // to radians and back, run as that step alone, with the conversions made
  // here: the same numbers, without PROJ's dispatch through the pipeline
  // and its conversion steps for every point (most of a projection's cost
  // in the PROJ of the build).  A batch in which a point fails is run
  // through the pipeline, whose failures and reasons stand.  Any other
  // pipeline is run as it is.
  static std::shared_ptr<const Operation> lean(PjPtr pipeline);

  // The operation itself (the first step of a chain).
  PJ* get() const { return steps_.front().first.get(); }
  // Transforms the points of every run in place, as one batch: each step
  // goes over all runs before the next.  A point PROJ cannot transform is a
  // kProjection failure.
  void apply(std::span<const Coords> runs, PJ_DIRECTION direction = PJ_FWD) const;
  void apply(std::vector<double>& x, std::vector<double>& y, PJ_DIRECTION direction = PJ_FWD) const;

 private:
  static void apply_step(PJ* op, std::span<const Coords> runs, PJ_DIRECTION direction);
  // The lean form's run: false, with the runs as they were, where a point
  // does not come out finite.
  bool apply_lean(std::span<const Coords> runs, PJ_DIRECTION direction) const;

  std::vector<std::pair<PjPtr, PJ_DIRECTION>> steps_;
  // For a lean form: the pipeline's one step, made alone, and its
  // direction in the pipeline; the factors by which PROJ's conversions
  // multiply x and y before and after it on the way forward (and divide
  // them by on the way back), 0 where there is none.
  PjPtr lean_;
  PJ_DIRECTION lean_dir_ = PJ_FWD;
  double before_ = 0.0;
  double after_ = 0.0;
};
using OperationPtr = std::shared_ptr<const Operation>;

// PROJ's default operation from one CRS to another (cached).
OperationPtr default_operation(const PJ* from, const PJ* to);

// The same, made afresh: a new PJ, normalised for visualisation.
PjPtr create_default_operation(const PJ* from, const PJ* to);

// PROJ before 9.2 projects the spherical forms of the Lambert azimuthal and
// cylindrical equal-area methods (EPSG methods 1027 and 9834) on the
// ellipsoid, up to tens of kilometers from where their formulas put a
// point.  With such a PROJ, the operation between two CRSs of which one uses
// those methods, its projection step on the ellipsoid's authalic sphere as
// the formulas have it; null where PROJ needs no help.
OperationPtr spherical_equal_area_operation(const PJ* from, const PJ* to);
OperationPtr default_operation(const SpatialReference& from, const SpatialReference& to);
// The same, answering at once when asked for the same two objects as last
// time (collections of geometries in one reference ask once per item).
OperationPtr default_operation(const SpatialReferencePtr& from, const SpatialReferencePtr& to);

// The geographic CRS a spatial reference is based on (itself for a
// geographic one), as a new PJ.
PjPtr geographic_base(const SpatialReference& sr);

// The operation from a spatial reference's own plane to longitude and
// latitude in degrees on its geographic base; null for a geographic
// reference (its coordinates are already angles; see SpatialReference::unit_factor).
OperationPtr plane_to_lonlat(const SpatialReference& sr);

// The geometry in the target spatial reference, through PROJ's default
// operation or through the given datum transformation.
GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target);
GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target,
                             const DatumTransformation& t);
// Each geometry as project_geometry gives it.  Points that follow one
// another in one spatial reference go to PROJ in one call; the failure is
// the one of the first geometry that fails, in order.
std::vector<GeometryPtr> project_geometries(std::span<const Geometry* const> geometries,
                                            const SpatialReferencePtr& target);

// Forgets cached operations (the projection-engine directory changed).
void clear_operation_cache();
// The part of that kept by the projection of geometries (projection_engine.cpp).
void clear_projection_routes();

// The text of PROJ's last error on the shared context.
std::string last_proj_error();

// A part's vertices with every true curve replaced by short chords (in the
// part's own plane; z and m interpolated).  For a ring (`closed`) the closing
// segment is flattened too, its points placed after the last vertex, and the
// ring stays open.  Arcs get a chord per `arc_step` radians of sweep (at
// least four); Bezier curves as many chords as a half circle would.
std::vector<Vertex> flatten_part(const Part& part, bool closed,
                                 double arc_step = kPi / 180);

}  // namespace vaskelith::projection
