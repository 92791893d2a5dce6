// Datum transformations: one PROJ coordinate operation between two
// geographic coordinate systems (or, for a horizontal-vertical one, between
// two compound systems), with what the catalog learnt about it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/projection_transform.hpp"
#include "handles.hpp"
#include "spatial_reference.hpp"

namespace vaskelith {

enum class DatumTransformationKind : uint32_t { Geographic = 1, HorizontalVertical = 2 };

struct DatumTransformation {
  // The operation from `input` to `output`, taking and giving longitude
  // first, as PROJ describes it (never null).
  projection::OperationPtr operation;
  // The same operation in the authority's axis order, as PROJ listed it;
  // its inverse carries PROJ's name for the inverse.
  projection::OperationPtr listed;
  std::string name;
  SpatialReferencePtr input;   // null when PROJ names no system the runtime can build
  SpatialReferencePtr output;  // likewise
  DatumTransformationKind kind = DatumTransformationKind::Geographic;
  // Some grid file the operation needs is not on the search path.
  bool missing_files = false;
};

// A transformation from a PROJ operation (ownership of `op` passes here).
// Fails with kProjection when PROJ cannot normalise it.
DatumTransformationPtr datum_transformation_from(PJ* op, DatumTransformationKind kind);

// The grid files of the transformation that the projection engine cannot
// find, named as PROJ names them ("a.tif, b.tif"), or why it cannot be set
// up when every grid is found.
std::string missing_grids(const DatumTransformation& t);

// The same transformation run the other way.
DatumTransformationPtr inverse_of(const DatumTransformation& t);

// A runtime spatial reference for a PROJ CRS: by its EPSG code when it has
// one, else by its WKT; null when neither gives a reference.
SpatialReferencePtr spatial_reference_for(const PJ* crs);

// Whether two PROJ CRSs describe the same system (axis order aside).
bool same_crs(const PJ* a, const PJ* b);

}  // namespace vaskelith
