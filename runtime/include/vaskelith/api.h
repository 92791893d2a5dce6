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

/* ---- Geometry families: declarations continue in the sections below. ---- */

/* Outside the QX_ interface: the number of live handles of every kind the
 * library has handed out and not yet seen released.  Tests use it to check
 * that nothing leaks. */
QX_EXPORT int64_t vaskelith_live_handle_count(void);

#ifdef __cplusplus
}
#endif

#endif
