// Reading one vertex item of a curve part from Python: a coordinate list, or a
// dict describing the segment that ends at the vertex.
#pragma once

#include <utility>

#include "model/model.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

// `previous` is the vertex before the new one (the start of the segment); only
// the circular arc given by its center needs it.
std::pair<model::ZorvCoord, model::CurveData> coord_and_curve_from_py(PyObject* item, bool has_z, bool has_m,
                                                                      const model::ZorvCoord& previous);

}  // namespace ostrel::py
