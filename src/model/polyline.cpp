#include "model/polyline.hpp"

#include "model/convert_multipart.hpp"
#include "model/multipart_impl.hpp"

namespace ostrel::model {

template struct MultipartGeometry<PolylineKind>;
template struct GeometryModel<ZorvGeometryPolyline, rt::Polyline>;

}  // namespace ostrel::model
