// What the inputs of an engine operation leave for its result.
#pragma once

#include <memory>

#include "geometry.hpp"

namespace vaskelith::planar {

// What the inputs of an operation leave for its result: z and m of their
// vertices, and their curves.  A result vertex that is an input vertex takes
// that vertex's z and m, any other vertex the values interpolated along the
// nearest input segment.  A run of result edges that follows the chords
// standing in for one input curve becomes that curve again (the part of it
// between the run's ends).
class SourceIndex {
 public:
  SourceIndex();
  ~SourceIndex();
  SourceIndex(const SourceIndex&) = delete;
  SourceIndex& operator=(const SourceIndex&) = delete;

  // Adds a geometry (earlier geometries win ties).  Its curves must have
  // been linearised for GEOS at the default tolerance (to_geos does).
  void add(const Geometry& g);
  bool has_z() const { return has_z_; }
  bool has_m() const { return has_m_; }
  // Sets v.z and v.m (NaN when no input carries them).
  void fill(Vertex& v) const;
  // Puts the inputs' curves back into a linear result part.
  void restore_curves(Part& p, bool closed) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool has_z_ = false;
  bool has_m_ = false;
};

}  // namespace vaskelith::planar
