// Everything of the runtime binding in one include.
#pragma once

#include "binding/array.hpp"
#include "binding/builders.hpp"
#include "binding/datum_transformation.hpp"
#include "binding/environment.hpp"
#include "binding/error.hpp"
#include "binding/ffi.hpp"
#include "binding/geometry.hpp"
#include "binding/geometry_engine.hpp"
#include "binding/loader.hpp"
#include "binding/parts.hpp"
#include "binding/segments.hpp"
#include "binding/spatial_reference.hpp"
#include "binding/strings.hpp"
#include "binding/transformation_catalog.hpp"
#include "binding/vector.hpp"
