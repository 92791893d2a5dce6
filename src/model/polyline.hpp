// The model of one polyline: linear paths and curve paths.
#pragma once

#include "model/curvepart.hpp"
#include "model/multipart_geometry.hpp"

namespace ostrel::model {

struct PolylineKind : MultipartTypes<rt::Polyline, rt::PolylineBuilder> {
  static constexpr MultipartTexts kTexts{"paths", "curvePaths", "Curve paths lock poisoned"};
  static constexpr auto read_curve = &ZorvCurvePart::from_immutable_part;
  // A path of any length may enter.
  static void admit(const Cell<ZorvPart>&) {}
  static void admit(const Cell<ZorvCurvePart>&) {}
};

using ZorvGeometryPolyline = MultipartGeometry<PolylineKind>;
extern template struct MultipartGeometry<PolylineKind>;

}  // namespace ostrel::model
