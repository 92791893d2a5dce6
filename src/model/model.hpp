// The whole geometry model.
#pragma once

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/coord.hpp"
#include "model/curve.hpp"
#include "model/curvepart.hpp"
#include "model/dims.hpp"
#include "model/envelope.hpp"
#include "model/geoerr.hpp"
#include "model/multipoint.hpp"
#include "model/part.hpp"
#include "model/point.hpp"
#include "model/polygon.hpp"
#include "model/polyline.hpp"
#include "model/spatial_reference.hpp"
#include "model/zorvjson.hpp"
