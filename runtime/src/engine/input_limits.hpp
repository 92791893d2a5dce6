// What the engines accept from a caller, and how much work one call may do.
//
// GEOS and the curve math multiply coordinates with one another (cross
// products, areas, squared lengths).  Past about 1e154 those products
// overflow, and GEOS then loops for ever or crashes, so every vertex that
// reaches GEOS passes check_engine_range first (in to_geos, the one way
// there), and operations that cannot
// refuse (their callers treat a failure as a broken invariant) scale such
// geometries by a power of two instead, which is exact.  At the other end,
// products of coordinates below about 1e-154 underflow: areas of rings that
// are not degenerate come out as zero, where GEOS's searches for interior
// points find nothing to work on; those operations scale the geometry up.
//
// Non-finite vertices are not refused: NaN marks an absent coordinate, and
// GEOS is never given either (to_geos leaves them out).
//
// Budgets: every operation whose work grows with a caller's parameter (a
// segment length, a deviation) rather than with the input's size counts its
// work before doing it and refuses with "... is too small for the geometry."
#pragma once

#include <vector>

#include "geometry.hpp"

namespace vaskelith::limits {

// Coordinates GEOS is given: products of two stay finite, with room for the
// sums around them.
inline constexpr double kLargestCoordinate = 1e150;
// Coordinates whose products keep full precision; past these bounds an
// operation that must answer scales its geometry by a power of two first.
inline constexpr double kLargestScaled = 1e140;
inline constexpr double kSmallestScaled = 1e-140;

// Vertices a densification may make for one geometry, planar or geodetic.
inline constexpr double kMaxDensifiedVertices = 1e7;
// Geodesic pieces a geodetic area may follow for one ring, and pieces a
// geodetic length may integrate edges straight in the plane in for one path.
inline constexpr double kMaxAreaPieces = 1 << 18;
inline constexpr double kMaxLengthPieces = 1 << 18;

// Coordinates of geodetic operations: angles of a billion units and more
// wrap to noise, and so do planar coordinates hundreds of times the earth's
// size (an edge straight in the plane that long winds round the globe
// hundreds of times); outlines built from either ran for minutes.
inline constexpr double kLargestGeographic = 1e9;
inline constexpr double kLargestProjected = 1e10;

// The largest |x| or |y| among the finite vertices and the curve data
// (control points, centres and radii) of `g`; infinite when any curve datum
// is not finite.  0 for an empty geometry.
double largest_coordinate(const Geometry& g);

// Fails with "The coordinates are too large for the geometry engine." unless
// every vertex lies within kLargestCoordinate (NaN passes: it is absent).
// Given what GEOS will see: to_geos checks every vertex it hands over.
void check_engine_range(const VertexList& vs);

// Fails unless GEOS can buffer `g` at `distance` without overflowing: it
// multiplies coordinates by the distance.
void check_buffer_range(const Geometry& g, double distance);

// Fails unless the coordinates of `g` (curve data included) lie strictly
// within the range a geodetic operation can work with.
void check_geodetic_range(const Geometry& g, bool geographic);

// 1 when `g`'s coordinates lie within the scaled bounds; else the power of
// two that brings its largest coordinate to about 1 (coordinates far smaller
// than that one may then round to zero, as they do against it anyway).
double range_scale(const Geometry& g);

}  // namespace vaskelith::limits
