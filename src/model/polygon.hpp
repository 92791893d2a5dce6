// The model of one polygon: linear rings and curve rings.
#pragma once

#include "model/curvepart.hpp"
#include "model/multipart_geometry.hpp"

namespace ostrel::model {

struct PolygonKind : MultipartTypes<rt::Polygon, rt::PolygonBuilder> {
  // The ring rules (InsufficientRing): a linear ring needs 3 vertices; a
  // curve ring needs 2, and with exactly 2 a curved segment to vertex 1.
  static void admit(const Cell<ZorvPart>& ring);
  static void admit(const Cell<ZorvCurvePart>& ring);
  // A runtime ring's closing segment ends at its vertex 0.
  static constexpr auto read_curve = &ZorvCurvePart::from_immutable_ring;
  static constexpr MultipartTexts kTexts{"rings", "curveRings", "Curve rings lock poisoned"};
};

using ZorvGeometryPolygon = MultipartGeometry<PolygonKind>;
extern template struct MultipartGeometry<PolygonKind>;

}  // namespace ostrel::model
