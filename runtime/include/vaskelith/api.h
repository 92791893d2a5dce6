/* libvaskelith: C interface of the geometry runtime.
 *
 * Conventions shared by every function:
 *  - Handles are opaque pointers.  A handle returned by a call belongs to the
 *    caller, who releases it exactly once with the destroy function of its
 *    class (QX_Geometry_destroy for every geometry kind, QX_Segment_destroy for
 *    every segment kind, QX_GeometryBuilder_destroy for every builder).
 *  - The last argument is a pointer to an error-handler record.  On failure the
 *    library calls record->callback(record->user_data, error) on the calling
 *    thread before returning; the callback owns the error handle.  The value
 *    returned by a failed call is meaningless and must not be released.
 *  - A null record pointer is accepted: the error is then passed to the
 *    library-wide callback (QX_OstrelRuntimeEnvironment_setErrorCallback), or
 *    dropped when none is installed.
 *  - Scalars: doubles, int32 codes, int64 counts and indices, one-byte bools.
 */
#ifndef VASKELITH_API_H
#define VASKELITH_API_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QX_EXPORT __attribute__((visibility("default")))

typedef struct _QX_ErrorInternal* QX_ErrorHandle;
typedef struct _QX_StringInternal* QX_StringHandle;
typedef struct _QX_ArrayInternal* QX_ArrayHandle;
typedef struct _QX_ElementInternal* QX_ElementHandle;
typedef struct _QX_VectorInternal* QX_VectorHandle;
typedef struct _QX_GeometryInternal* QX_GeometryHandle;
typedef struct _QX_GeometryBuilderInternal* QX_GeometryBuilderHandle;
typedef struct _QX_SegmentInternal* QX_SegmentHandle;
typedef struct _QX_MutablePartInternal* QX_MutablePartHandle;
typedef struct _QX_ImmutablePartInternal* QX_ImmutablePartHandle;
typedef struct _QX_MutablePartCollectionInternal* QX_MutablePartCollectionHandle;
typedef struct _QX_ImmutablePartCollectionInternal* QX_ImmutablePartCollectionHandle;
typedef struct _QX_MutablePointCollectionInternal* QX_MutablePointCollectionHandle;
typedef struct _QX_ImmutablePointCollectionInternal* QX_ImmutablePointCollectionHandle;
typedef struct _QX_SpatialReferenceInternal* QX_SpatialReferenceHandle;
typedef struct _QX_UnitInternal* QX_UnitHandle;
typedef struct _QX_DatumTransformationInternal* QX_DatumTransformationHandle;

typedef void (*QX_ErrorCallback)(void* user_data, QX_ErrorHandle error);

typedef struct QX_ErrorHandler {
  QX_ErrorCallback callback;
  void* user_data;
} QX_ErrorHandler;

/* Bytes of a string, valid until the string is destroyed. */
typedef struct QX_ByteArray {
  const uint8_t* data;
  size_t size;
} QX_ByteArray;

/* Element types of vectors and elements. */
enum { QX_ELEMENT_TYPE_FLOAT64 = 43, QX_ELEMENT_TYPE_GEOMETRY = 50 };

/* ---- Environment ---- */
QX_EXPORT void QX_OstrelRuntimeEnvironment_setErrorCallback(QX_ErrorCallback callback, void* user_data,
                                                            const QX_ErrorHandler* handler);
/* The folder the library was loaded from. */
QX_EXPORT QX_StringHandle QX_OstrelRuntimeEnvironment_getInstallDirectory(const QX_ErrorHandler* handler);

/* ---- Error ---- */
QX_EXPORT void QX_Error_destroy(QX_ErrorHandle error, const QX_ErrorHandler* handler);
QX_EXPORT int32_t QX_Error_getCode(QX_ErrorHandle error, const QX_ErrorHandler* handler);
QX_EXPORT QX_StringHandle QX_Error_getMessage(QX_ErrorHandle error, const QX_ErrorHandler* handler);
QX_EXPORT QX_StringHandle QX_Error_getAdditionalMessage(QX_ErrorHandle error, const QX_ErrorHandler* handler);

/* ---- String ---- */
QX_EXPORT void QX_String_destroy(QX_StringHandle string, const QX_ErrorHandler* handler);
QX_EXPORT QX_ByteArray QX_String_getByteArray(QX_StringHandle string, const QX_ErrorHandler* handler);

/* ---- Array ---- */
QX_EXPORT void QX_Array_destroy(QX_ArrayHandle array, const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_Array_getSize(QX_ArrayHandle array, const QX_ErrorHandler* handler);
QX_EXPORT QX_ElementHandle QX_Array_at(QX_ArrayHandle array, int64_t index, const QX_ErrorHandler* handler);

/* ---- Element ---- */
QX_EXPORT void QX_Element_destroy(QX_ElementHandle element, const QX_ErrorHandler* handler);
QX_EXPORT QX_ElementHandle QX_Element_create(const QX_ErrorHandler* handler);
QX_EXPORT void QX_Element_clear(QX_ElementHandle element, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Element_getValueAsGeometry(QX_ElementHandle element, const QX_ErrorHandler* handler);
QX_EXPORT QX_DatumTransformationHandle QX_Element_getValueAsDatumTransformation(QX_ElementHandle element,
                                                                                const QX_ErrorHandler* handler);
QX_EXPORT void QX_Element_setValueFromFloat64(QX_ElementHandle element, double value, const QX_ErrorHandler* handler);
QX_EXPORT void QX_Element_setValueFromGeometry(QX_ElementHandle element, QX_GeometryHandle geometry,
                                               const QX_ErrorHandler* handler);

/* ---- Vector ---- */
QX_EXPORT void QX_Vector_destroy(QX_VectorHandle vector, const QX_ErrorHandler* handler);
QX_EXPORT QX_VectorHandle QX_Vector_create(uint32_t element_type, const QX_ErrorHandler* handler);
QX_EXPORT void QX_Vector_add(QX_VectorHandle vector, QX_ElementHandle element, const QX_ErrorHandler* handler);

/* ---- Geometry families, in load order ----
 * Argument order: handles and integer codes first, in the order the operation
 * names them, then the floating-point values, then the handler.  Constructors
 * of points, envelopes and segments take their numbers before the spatial
 * reference instead, as the values read naturally that way.  Every returned
 * handle is new and belongs to the caller. */

/* ---- Segment ---- */
QX_EXPORT void QX_Segment_destroy(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
/* 1 line, 2 cubic Bezier, 3 elliptic arc. */
QX_EXPORT int32_t QX_Segment_getObjectType(QX_SegmentHandle segment, const QX_ErrorHandler* handler);

/* ---- Point ---- */
QX_EXPORT QX_GeometryHandle QX_Point_createWithXY(double x, double y, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithXYSpatialReference(double x, double y,
                                                                  QX_SpatialReferenceHandle spatial_reference,
                                                                  const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithXYZ(double x, double y, double z, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithXYZSpatialReference(double x, double y, double z,
                                                                   QX_SpatialReferenceHandle spatial_reference,
                                                                   const QX_ErrorHandler* handler);
QX_EXPORT double QX_Point_getM(QX_GeometryHandle point, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Point_getX(QX_GeometryHandle point, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Point_getY(QX_GeometryHandle point, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Point_getZ(QX_GeometryHandle point, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithM(double x, double y, double m, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithMSpatialReference(double x, double y, double m,
                                                                 QX_SpatialReferenceHandle spatial_reference,
                                                                 const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithZM(double x, double y, double z, double m,
                                                  const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Point_createWithZMSpatialReference(double x, double y, double z, double m,
                                                                  QX_SpatialReferenceHandle spatial_reference,
                                                                  const QX_ErrorHandler* handler);

/* ---- MutablePart ---- */
QX_EXPORT void QX_MutablePart_destroy(QX_MutablePartHandle part, const QX_ErrorHandler* handler);
/* spatial_reference may be null. */
QX_EXPORT QX_MutablePartHandle QX_MutablePart_createWithSpatialReference(QX_SpatialReferenceHandle spatial_reference,
                                                                         const QX_ErrorHandler* handler);
/* The add functions copy the value; the caller keeps what it passed. */
QX_EXPORT int64_t QX_MutablePart_addPoint(QX_MutablePartHandle part, QX_GeometryHandle point,
                                          const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_MutablePart_addPointXY(QX_MutablePartHandle part, double x, double y,
                                            const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_MutablePart_addPointXYZ(QX_MutablePartHandle part, double x, double y, double z,
                                             const QX_ErrorHandler* handler);
QX_EXPORT void QX_MutablePart_addSegment(QX_MutablePartHandle part, QX_SegmentHandle segment,
                                         const QX_ErrorHandler* handler);

/* ---- AreaUnit (released with QX_Unit_destroy) ---- */
QX_EXPORT QX_UnitHandle QX_AreaUnit_create(uint32_t area_unit_id, const QX_ErrorHandler* handler);
QX_EXPORT uint32_t QX_AreaUnit_getAreaUnitId(QX_UnitHandle unit, const QX_ErrorHandler* handler);
/* The area, given in from_unit, expressed in unit. */
QX_EXPORT double QX_AreaUnit_convertFrom(QX_UnitHandle unit, QX_UnitHandle from_unit, double area,
                                         const QX_ErrorHandler* handler);
/* The area, given in unit, expressed in to_unit. */
QX_EXPORT double QX_AreaUnit_convertTo(QX_UnitHandle unit, QX_UnitHandle to_unit, double area,
                                       const QX_ErrorHandler* handler);
QX_EXPORT double QX_AreaUnit_fromSquareMeters(QX_UnitHandle unit, double area, const QX_ErrorHandler* handler);
QX_EXPORT double QX_AreaUnit_toSquareMeters(QX_UnitHandle unit, double area, const QX_ErrorHandler* handler);

/* ---- CubicBezierSegment ---- */
/* Points are borrowed; spatial_reference may be null. */
QX_EXPORT QX_SegmentHandle QX_CubicBezierSegment_create(QX_GeometryHandle start_point, QX_GeometryHandle control_point1,
                                                        QX_GeometryHandle control_point2, QX_GeometryHandle end_point,
                                                        QX_SpatialReferenceHandle spatial_reference,
                                                        const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_CubicBezierSegment_getControlPoint1(QX_SegmentHandle segment,
                                                                   const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_CubicBezierSegment_getControlPoint2(QX_SegmentHandle segment,
                                                                   const QX_ErrorHandler* handler);

/* ---- DatumTransformation ---- */
QX_EXPORT void QX_DatumTransformation_destroy(QX_DatumTransformationHandle transformation,
                                              const QX_ErrorHandler* handler);
/* Null when the transformation has none. */
QX_EXPORT QX_SpatialReferenceHandle QX_DatumTransformation_getInputSpatialReference(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_DatumTransformation_getIsMissingProjectionEngineFiles(QX_DatumTransformationHandle transformation,
                                                                        const QX_ErrorHandler* handler);
QX_EXPORT QX_StringHandle QX_DatumTransformation_getName(QX_DatumTransformationHandle transformation,
                                                         const QX_ErrorHandler* handler);
/* 1 geographic, 2 horizontal-vertical. */
QX_EXPORT uint32_t QX_DatumTransformation_getObjectType(QX_DatumTransformationHandle transformation,
                                                        const QX_ErrorHandler* handler);
/* Null when the transformation has none. */
QX_EXPORT QX_SpatialReferenceHandle QX_DatumTransformation_getOutputSpatialReference(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler);
QX_EXPORT QX_DatumTransformationHandle QX_DatumTransformation_getInverse(QX_DatumTransformationHandle transformation,
                                                                         const QX_ErrorHandler* handler);

/* ---- EllipticArcSegment ---- */
/* Points are borrowed; spatial_reference may be null. */
QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createWithStartAndEndpoints(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, bool is_minor, bool is_counter_clockwise,
    QX_SpatialReferenceHandle spatial_reference, double rotation, double semi_major_axis, double minor_major_ratio,
    const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_EllipticArcSegment_getCenterPoint(QX_SegmentHandle segment,
                                                                 const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getCentralAngle(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getEndAngle(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_EllipticArcSegment_getIsCircular(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_EllipticArcSegment_getIsCounterClockwise(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getMinorMajorRatio(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getRotationAngle(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getSemiMajorAxis(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT double QX_EllipticArcSegment_getStartAngle(QX_SegmentHandle segment, const QX_ErrorHandler* handler);
QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createCircularEllipticArcWithCenter(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, QX_GeometryHandle center_point, bool is_minor,
    bool is_counter_clockwise, QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);
QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, QX_GeometryHandle interior_point,
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);

/* ---- Envelope ---- */
/* Bounds always travel as x_min, x_max, y_min, y_max. */
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXY(double x_min, double x_max, double y_min, double y_max,
                                                     const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYSpatialReference(double x_min, double x_max, double y_min,
                                                                     double y_max,
                                                                     QX_SpatialReferenceHandle spatial_reference,
                                                                     const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYZ(double x_min, double x_max, double y_min, double y_max,
                                                      double z_min, double z_max, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYZSpatialReference(double x_min, double x_max, double y_min,
                                                                      double y_max, double z_min, double z_max,
                                                                      QX_SpatialReferenceHandle spatial_reference,
                                                                      const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_getCenter(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getMMax(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getMMin(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getXMax(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getXMin(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getYMax(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getYMin(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getZMax(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT double QX_Envelope_getZMin(QX_GeometryHandle envelope, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithM(double x_min, double x_max, double y_min, double y_max,
                                                    double m_min, double m_max, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithMSpatialReference(double x_min, double x_max, double y_min,
                                                                    double y_max, double m_min, double m_max,
                                                                    QX_SpatialReferenceHandle spatial_reference,
                                                                    const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithZM(double x_min, double x_max, double y_min, double y_max,
                                                     double z_min, double z_max, double m_min, double m_max,
                                                     const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Envelope_createWithZMSpatialReference(double x_min, double x_max, double y_min,
                                                                     double y_max, double z_min, double z_max,
                                                                     double m_min, double m_max,
                                                                     QX_SpatialReferenceHandle spatial_reference,
                                                                     const QX_ErrorHandler* handler);

/* ---- Geometry (every kind) ---- */
QX_EXPORT void QX_Geometry_destroy(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_Geometry_getExtent(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_Geometry_getHasCurves(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_Geometry_getHasM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_Geometry_getHasZ(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
/* 1 point, 2 envelope, 3 polyline, 4 polygon, 5 multipoint, -1 other. */
QX_EXPORT int32_t QX_Geometry_getObjectType(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
/* Null when the geometry has none. */
QX_EXPORT QX_SpatialReferenceHandle QX_Geometry_getSpatialReference(QX_GeometryHandle geometry,
                                                                    const QX_ErrorHandler* handler);
/* json is NUL-terminated UTF-8; unreadable text is reported as an error. */
QX_EXPORT QX_GeometryHandle QX_Geometry_fromJSON(const char* json, const QX_ErrorHandler* handler);
QX_EXPORT QX_StringHandle QX_Geometry_toJSON(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);

/* ---- GeometryBuilder (every builder) ---- */
QX_EXPORT void QX_GeometryBuilder_destroy(QX_GeometryBuilderHandle builder, const QX_ErrorHandler* handler);
/* A new geometry from the builder's current state; the builder stays usable. */
QX_EXPORT QX_GeometryHandle QX_GeometryBuilder_toGeometry(QX_GeometryBuilderHandle builder,
                                                          const QX_ErrorHandler* handler);

/* ---- GeometryEngine ----
 * "geometry" and "other" are any geometry; unit handles and origins may be
 * null; curve_type is 0 geodesic, 1 loxodrome, 2 great elliptic, 3 normal
 * section, 4 shape preserving.  Arrays hold geometries (or polygons). */
QX_EXPORT double QX_GeometryEngine_area(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT double QX_GeometryEngine_areaGeodetic(QX_GeometryHandle geometry, QX_UnitHandle area_unit,
                                                int32_t curve_type, const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_autoComplete(QX_VectorHandle existing_boundaries,
                                                        QX_VectorHandle new_boundaries,
                                                        const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_boundary(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_buffer(QX_GeometryHandle geometry, double distance,
                                                     const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_bufferCollection(QX_VectorHandle geometries, QX_VectorHandle distances,
                                                            bool union_result, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_bufferGeodetic(QX_GeometryHandle geometry, QX_UnitHandle distance_unit,
                                                             int32_t curve_type, double distance,
                                                             double max_deviation, const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_bufferGeodeticCollection(QX_VectorHandle geometries,
                                                                    QX_VectorHandle distances,
                                                                    QX_UnitHandle distance_unit, int32_t curve_type,
                                                                    bool union_result, double max_deviation,
                                                                    const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_clip(QX_GeometryHandle geometry, QX_GeometryHandle envelope,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_combineExtents(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                             const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_combineExtentsCollection(QX_VectorHandle geometries,
                                                                       const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_contains(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_convexHull(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_convexHullCollection(QX_VectorHandle geometries, bool merge,
                                                                const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_createPointAlong(QX_GeometryHandle polyline, double distance,
                                                               const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_crosses(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                         const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_cut(QX_GeometryHandle geometry, QX_GeometryHandle cutter,
                                               const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_densify(QX_GeometryHandle geometry, double max_segment_length,
                                                      const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_densifyGeodetic(QX_GeometryHandle geometry, QX_UnitHandle length_unit,
                                                              int32_t curve_type, double max_segment_length,
                                                              const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_difference(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                         const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_disjoint(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler);
QX_EXPORT double QX_GeometryEngine_distance(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                            const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_equals(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                        const QX_ErrorHandler* handler);
/* Null when nothing was extended. */
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_extend(QX_GeometryHandle polyline, QX_GeometryHandle extender,
                                                     uint32_t extend_options, const QX_ErrorHandler* handler);
QX_EXPORT double QX_GeometryEngine_fractionAlong(QX_GeometryHandle polyline, QX_GeometryHandle point,
                                                 double tolerance, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_generalize(QX_GeometryHandle geometry, bool remove_degenerate_parts,
                                                         double max_deviation, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_intersection(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                           const QX_ErrorHandler* handler);
QX_EXPORT QX_ArrayHandle QX_GeometryEngine_intersections(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                         const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_intersects(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                            const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_isSimple(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_labelPoint(QX_GeometryHandle polygon, const QX_ErrorHandler* handler);
QX_EXPORT double QX_GeometryEngine_length(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT double QX_GeometryEngine_lengthGeodetic(QX_GeometryHandle geometry, QX_UnitHandle length_unit,
                                                  int32_t curve_type, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_move(QX_GeometryHandle geometry, double delta_x, double delta_y,
                                                   const QX_ErrorHandler* handler);
/* Null when the geometry needs no change. */
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_normalizeCentralMeridian(QX_GeometryHandle geometry,
                                                                       const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_overlaps(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_project(QX_GeometryHandle geometry,
                                                      QX_SpatialReferenceHandle spatial_reference,
                                                      const QX_ErrorHandler* handler);
/* Each of `count` geometries projected as QX_GeometryEngine_project projects it, into `results` (`count`
   new handles, owned by the caller). On failure, the failure of the first geometry that fails, in order,
   and no handle made. */
QX_EXPORT void QX_GeometryEngine_projectEach(const QX_GeometryHandle* geometries, size_t count,
                                            QX_SpatialReferenceHandle spatial_reference, QX_GeometryHandle* results,
                                            const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_projectWithTransformation(QX_GeometryHandle geometry,
                                                                        QX_SpatialReferenceHandle spatial_reference,
                                                                        QX_DatumTransformationHandle transformation,
                                                                        const QX_ErrorHandler* handler);
/* relation is a NUL-terminated DE-9IM pattern. */
QX_EXPORT bool QX_GeometryEngine_relate(QX_GeometryHandle geometry, QX_GeometryHandle other, const char* relation,
                                        const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeZ(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeZAndM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_rotate(QX_GeometryHandle geometry, QX_GeometryHandle origin,
                                                     double angle, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_scale(QX_GeometryHandle geometry, QX_GeometryHandle origin,
                                                    double scale_x, double scale_y, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setM(QX_GeometryHandle geometry, double m,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setZ(QX_GeometryHandle geometry, double z,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setZAndM(QX_GeometryHandle geometry, double z, double m,
                                                       const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_simplify(QX_GeometryHandle geometry, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_symmetricDifference(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                                  const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_touches(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                         const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_union(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                    const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_unionCollection(QX_VectorHandle geometries,
                                                              const QX_ErrorHandler* handler);
QX_EXPORT bool QX_GeometryEngine_within(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                        const QX_ErrorHandler* handler);

/* ---- ImmutablePart ---- */
QX_EXPORT void QX_ImmutablePart_destroy(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_ImmutablePart_getHasCurves(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler);
QX_EXPORT bool QX_ImmutablePart_getIsEmpty(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_ImmutablePart_getPointCount(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_ImmutablePart_getPoint(QX_ImmutablePartHandle part, int64_t point_index,
                                                      const QX_ErrorHandler* handler);
QX_EXPORT QX_ImmutablePointCollectionHandle QX_ImmutablePart_getPoints(QX_ImmutablePartHandle part,
                                                                       const QX_ErrorHandler* handler);
QX_EXPORT QX_SegmentHandle QX_ImmutablePart_getSegment(QX_ImmutablePartHandle part, int64_t segment_index,
                                                       const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_ImmutablePart_getSegmentIndexFromEndPointIndex(QX_ImmutablePartHandle part, int64_t point_index,
                                                                    const QX_ErrorHandler* handler);

/* ---- ImmutablePartCollection ---- */
QX_EXPORT void QX_ImmutablePartCollection_destroy(QX_ImmutablePartCollectionHandle parts,
                                                  const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_ImmutablePartCollection_getSize(QX_ImmutablePartCollectionHandle parts,
                                                     const QX_ErrorHandler* handler);
QX_EXPORT QX_ImmutablePartHandle QX_ImmutablePartCollection_getPart(QX_ImmutablePartCollectionHandle parts,
                                                                    int64_t index, const QX_ErrorHandler* handler);

/* ---- ImmutablePointCollection ---- */
QX_EXPORT void QX_ImmutablePointCollection_destroy(QX_ImmutablePointCollectionHandle points,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_ImmutablePointCollection_getSize(QX_ImmutablePointCollectionHandle points,
                                                      const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle QX_ImmutablePointCollection_getPoint(QX_ImmutablePointCollectionHandle points,
                                                                 int64_t index, const QX_ErrorHandler* handler);

/* ---- LinearUnit (released with QX_Unit_destroy) ---- */
QX_EXPORT QX_UnitHandle QX_LinearUnit_create(uint32_t linear_unit_id, const QX_ErrorHandler* handler);

/* ---- Multipart (polyline or polygon) ---- */
QX_EXPORT QX_ImmutablePartCollectionHandle QX_Multipart_getParts(QX_GeometryHandle multipart,
                                                                 const QX_ErrorHandler* handler);

/* ---- MultipartBuilder (polyline or polygon builder) ---- */
/* Replaces the builder's parts with copies of the collection's. */
QX_EXPORT void QX_MultipartBuilder_setParts(QX_GeometryBuilderHandle builder, QX_MutablePartCollectionHandle parts,
                                            const QX_ErrorHandler* handler);

/* ---- Multipoint ---- */
QX_EXPORT QX_ImmutablePointCollectionHandle QX_Multipoint_getPoints(QX_GeometryHandle multipoint,
                                                                    const QX_ErrorHandler* handler);

/* ---- MultipointBuilder ---- */
QX_EXPORT QX_GeometryBuilderHandle QX_MultipointBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);
QX_EXPORT void QX_MultipointBuilder_setPoints(QX_GeometryBuilderHandle builder, QX_MutablePointCollectionHandle points,
                                              const QX_ErrorHandler* handler);

/* ---- MutablePartCollection ---- */
QX_EXPORT void QX_MutablePartCollection_destroy(QX_MutablePartCollectionHandle parts, const QX_ErrorHandler* handler);
QX_EXPORT QX_MutablePartCollectionHandle QX_MutablePartCollection_createWithSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_MutablePartCollection_getSize(QX_MutablePartCollectionHandle parts,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_MutablePartCollection_addPart(QX_MutablePartCollectionHandle parts, QX_MutablePartHandle part,
                                                   const QX_ErrorHandler* handler);
QX_EXPORT QX_MutablePartHandle QX_MutablePartCollection_getPart(QX_MutablePartCollectionHandle parts, int64_t index,
                                                                const QX_ErrorHandler* handler);

/* ---- MutablePointCollection ---- */
QX_EXPORT void QX_MutablePointCollection_destroy(QX_MutablePointCollectionHandle points,
                                                 const QX_ErrorHandler* handler);
QX_EXPORT QX_MutablePointCollectionHandle QX_MutablePointCollection_createWithSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);
QX_EXPORT int64_t QX_MutablePointCollection_addPoint(QX_MutablePointCollectionHandle points, QX_GeometryHandle point,
                                                     const QX_ErrorHandler* handler);

/* ---- PolygonBuilder ---- */
QX_EXPORT QX_GeometryBuilderHandle QX_PolygonBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);

/* ---- PolylineBuilder ---- */
QX_EXPORT QX_GeometryBuilderHandle QX_PolylineBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler);

/* ---- SpatialReference ---- */
QX_EXPORT void QX_SpatialReference_destroy(QX_SpatialReferenceHandle spatial_reference,
                                           const QX_ErrorHandler* handler);
QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_create(uint32_t wkid, const QX_ErrorHandler* handler);
/* wk_text is NUL-terminated. */
QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_createFromWKText(const char* wk_text,
                                                                         const QX_ErrorHandler* handler);
QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_createVerticalWKID(uint32_t wkid, uint32_t vertical_wkid,
                                                                           const QX_ErrorHandler* handler);
/* 0 when there is none. */
QX_EXPORT uint32_t QX_SpatialReference_getVerticalWKID(QX_SpatialReferenceHandle spatial_reference,
                                                       const QX_ErrorHandler* handler);
/* 0 when there is none. */
QX_EXPORT uint32_t QX_SpatialReference_getWKID(QX_SpatialReferenceHandle spatial_reference,
                                               const QX_ErrorHandler* handler);
QX_EXPORT QX_StringHandle QX_SpatialReference_getWKText(QX_SpatialReferenceHandle spatial_reference,
                                                        const QX_ErrorHandler* handler);

/* ---- TransformationCatalog ---- */
/* Null or empty when none is set. */
QX_EXPORT QX_StringHandle QX_TransformationCatalog_getProjectionEngineDirectory(const QX_ErrorHandler* handler);
/* path is NUL-terminated, or null to reset. */
QX_EXPORT void QX_TransformationCatalog_setProjectionEngineDirectory(const char* path, const QX_ErrorHandler* handler);
/* An array of datum transformations, most suitable first; area_of_interest (an envelope) may be null. */
QX_EXPORT QX_ArrayHandle QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical(
    QX_SpatialReferenceHandle input_spatial_reference, QX_SpatialReferenceHandle output_spatial_reference,
    QX_GeometryHandle area_of_interest, bool ignore_vertical, const QX_ErrorHandler* handler);

/* ---- Unit (every unit) ---- */
QX_EXPORT void QX_Unit_destroy(QX_UnitHandle unit, const QX_ErrorHandler* handler);


/* Outside the QX_ interface: the number of live handles of every kind the
 * library has handed out and not yet seen released.  Tests use it to check
 * that nothing leaks. */
QX_EXPORT int64_t vaskelith_live_handle_count(void);

/* Outside the QX_ interface too: one question asked of many geometries in one call, for the
 * module's collection functions (internal_names.h lists them).  Asked one geometry at a time, the
 * way in and out of the library, the error record and the checks of the handle cost about as much
 * as the question itself for a small geometry; here they are paid once per call.  Each function
 * answers for geometries[0], geometries[1], ... in order, each exactly as the QX_ function it
 * names answers for that geometry, and stops at the first failure, reported as that function
 * reports it.  It returns how many geometries were answered. */

/* The answers of QX_GeometryEngine_area / QX_GeometryEngine_length, into results[0..count). */
QX_EXPORT size_t vaskelith_each_area(const QX_GeometryHandle* geometries, size_t count, double* results,
                                     const QX_ErrorHandler* handler);
QX_EXPORT size_t vaskelith_each_length(const QX_GeometryHandle* geometries, size_t count, double* results,
                                       const QX_ErrorHandler* handler);
/* QX_GeometryEngine_distance(geometry, others[i]) into results[0..count). */
QX_EXPORT size_t vaskelith_each_distance(QX_GeometryHandle geometry, const QX_GeometryHandle* others,
                                         size_t count, double* results, const QX_ErrorHandler* handler);

/* The relations of vaskelith_each_relation, by the QX_GeometryEngine_ function each stands for. */
enum {
  VASKELITH_CONTAINS = 1,
  VASKELITH_CROSSES = 2,
  VASKELITH_DISJOINT = 3,
  VASKELITH_INTERSECTS = 4,
  VASKELITH_OVERLAPS = 5,
  VASKELITH_TOUCHES = 6,
  VASKELITH_WITHIN = 7
};
/* The relation asked of (geometry, others[i]), or of (others[i], geometry) when others_first, one
 * geometry after the other until one answers `stop_at`: returns its index (count when none does),
 * or the index of the geometry that failed. */
QX_EXPORT size_t vaskelith_each_relation(QX_GeometryHandle geometry, const QX_GeometryHandle* others,
                                         size_t count, int32_t relation, bool others_first, bool stop_at,
                                         const QX_ErrorHandler* handler);

/* A polyline or polygon builder filled one straight part at a time, for the module's conversion
 * of a geometry whose parts have x, y and perhaps z: vaskelith_builder_add_part appends the part
 * of `count` vertices (z from `zs` when it is not null) as QX_GeometryBuilder_toGeometry would
 * keep it after QX_MutablePart_addPointXY (or ...XYZ) of each vertex and
 * QX_MultipartBuilder_setParts (a polygon's ring without its closing vertex), and
 * vaskelith_builder_take_geometry makes the geometry of the parts added so far, moving them out
 * and leaving the builder empty.  The geometry is the one the QX_ calls would make, with each
 * vertex copied once.  A builder filled this way is not also given parts by
 * QX_MultipartBuilder_setParts. */
QX_EXPORT void vaskelith_builder_add_part(QX_GeometryBuilderHandle builder, const double* xs, const double* ys,
                                          const double* zs, size_t count, const QX_ErrorHandler* handler);
QX_EXPORT QX_GeometryHandle vaskelith_builder_take_geometry(QX_GeometryBuilderHandle builder,
                                                            const QX_ErrorHandler* handler);

#ifdef __cplusplus
}
#endif

#endif
