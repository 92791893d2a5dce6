// The planar engine's forms of a geometry, made at first need and kept with
// the geometry (Derived::engine): its GEOS geometry (rings nested once,
// validity checked and repaired once), a prepared geometry once predicates
// ask about it repeatedly, and the nesting of its rings.
//
// Geometries with true curves keep nothing: their chords depend on the
// linearisation scope of the call (planar_curves.hpp), so that operands
// sharing a curve see one set of chords.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/box_index.hpp"
#include "engine/geos_convert.hpp"
#include "engine/geos_context.hpp"
#include "engine/run_lengths.hpp"
#include "geometry.hpp"

namespace vaskelith::planar {

// A GEOS geometry for one use: lent by the geometry it stands for, which
// keeps it, or made for this use alone.
class GeosForm {
 public:
  explicit GeosForm(geos::GeomPtr owned) : owned_(std::move(owned)), lent_(owned_.get()) {}
  explicit GeosForm(const GEOSGeometry* lent) : lent_(lent) {}

  const GEOSGeometry* get() const { return lent_; }
  // An owned geometry: this one when it was made for this use, else a copy.
  geos::GeomPtr take();

 private:
  geos::GeomPtr owned_;
  const GEOSGeometry* lent_;
};

// The GEOS form of `g`, as to_geos(g, 0, repair) would make it.
GeosForm geos_form(const Geometry& g, bool repair = true);

// The prepared form of `g`, with the lock that must be held while it is
// used (GEOS builds a prepared geometry's indexes on first use).  Null when
// `g` keeps no forms, or has been asked about too few times for its size:
// preparing costs more than a plain predicate or two, and a small geometry
// is worth preparing only when it is asked about again and again.  The
// prepared form is made from the unrepaired form.  For a distance it is
// given only where that form is valid (the answer must come from the
// repaired form), and only to geometries large enough to prepare at their
// second question: GEOS's prepared distance indexes the other operand at
// every call, which a small geometry never repays.
struct PreparedUse {
  const GEOSPreparedGeometry* prepared = nullptr;
  std::unique_lock<std::recursive_mutex> lock;
};
enum class PreparedFor { Predicate, Distance };
PreparedUse prepared_form(const Geometry& g, PreparedFor purpose = PreparedFor::Predicate);

// The number of vertices of `g` (curves count one).
std::size_t vertex_count(const Geometry& g);

// Keeps `form`, the GEOS result that `g` was read from, as the GEOS form of
// `g` when it stands for `g` exactly: an area without curves read from
// GEOS polygons.  Otherwise `form` is simply released.
void keep_result_form(const Geometry& g, geos::GeomPtr form);

struct ResultSpec;  // geos_convert.hpp

// The geometry read from a GEOS result (from_geos), keeping the result as
// its GEOS form where it stands for it exactly.
GeometryPtr read_result(geos::GeomPtr result, const ResultSpec& spec);

// The buffer of `g` by `distance` as GEOS holds it, before it is read back,
// for a geometry and distance that check_buffer_range has let through.
geos::GeomPtr engine_buffer_in_range(const Geometry& g, double distance);
// The same for `form`, geos_form(g) taken beforehand.
geos::GeomPtr engine_buffer_of_form(const Geometry& g, GeosForm form, double distance);

// The runtime polygon read from such a buffer, which it keeps as its GEOS
// form.
GeometryPtr read_buffer(geos::GeomPtr buffer, const SpatialReferencePtr& sr);

// The nesting of the rings of a polygon that keeps forms (nest_rings of
// its parts), made once.
const RingGroups& kept_nesting(const Geometry& g);

// The segments of a straight polyline or polygon, each by its box grown by
// its rounding, indexed, with what the curve relations ask of every ring or
// path as a whole.  Made by the relations engine, which knows the rounding.
struct SegmentBoxes {
  struct Place {
    std::size_t part, index;
  };
  std::vector<Place> at;  // of each box
  std::vector<Box> boxes;
  BoxIndex index;
  // Per part: the length of its segments in order, and the first of its
  // longest.
  std::vector<double> total;
  std::vector<std::size_t> longest;
  // Per part, the box of its first segment; and the lengths of all
  // segments in the order of the boxes, for weighing stretches of a part.
  std::vector<std::size_t> first;
  RunLengths lengths;
};
using SegmentBoxesMaker = SegmentBoxes (*)(const Geometry&);

// The segment boxes of `g`, made by `make` once and kept; null when `g`
// keeps no forms or has too few vertices to be worth an index.
const SegmentBoxes* kept_segment_boxes(const Geometry& g, SegmentBoxesMaker make);

// Whether the GEOS form of a polygon that keeps forms is valid as it stands
// (checked once).
bool valid_as_is(const Geometry& g);

// Whether the form geos_form(g) has lent is the one to_geos made from the
// polygon's own parts, valid as it stands: its polygons are then the groups
// of kept_nesting(g) in order, each ring a part closed by its first vertex
// once more, wherever to_geos left out no vertex.  False for a form kept
// from the result `g` was read from, and before geos_form(g).
bool lends_form_of_own_parts(const Geometry& g);

// Whether the engine keeps forms of `g` at all.
bool keeps_forms(const Geometry& g);

}  // namespace vaskelith::planar
