"""A thin ctypes view of libvaskelith for testing the runtime directly."""

import ctypes
import os
import sys

import pytest

LIB_PATH = os.environ.get("VASKELITH_TEST_LIB") or os.path.join(sys.prefix, "libvaskelith.so")

H = ctypes.c_void_p
D = ctypes.c_double
B = ctypes.c_bool
I32 = ctypes.c_int32
U32 = ctypes.c_uint32
I64 = ctypes.c_int64
CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)


class ErrorHandler(ctypes.Structure):
    _fields_ = [("callback", CALLBACK), ("user_data", ctypes.c_void_p)]


class ByteArray(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_uint8)), ("size", ctypes.c_size_t)]


class RuntimeError_(Exception):
    def __init__(self, code, msg, additional):
        super().__init__(f"{code}: {msg} {additional}")
        self.code, self.msg, self.additional = code, msg, additional


def load():
    if not os.path.isfile(LIB_PATH):
        pytest.skip(f"runtime library not found at {LIB_PATH}")
    return Runtime(ctypes.CDLL(LIB_PATH))


# name -> (restype, argtypes without the handler)
SIGNATURES = {
    "QX_Error_getCode": (I32, [H]),
    "QX_Error_getMessage": (H, [H]),
    "QX_Error_getAdditionalMessage": (H, [H]),
    "QX_Error_destroy": (None, [H]),
    "QX_String_getByteArray": (ByteArray, [H]),
    "QX_String_destroy": (None, [H]),
    "QX_OstrelRuntimeEnvironment_getInstallDirectory": (H, []),
    "QX_OstrelRuntimeEnvironment_setErrorCallback": (None, [CALLBACK, ctypes.c_void_p]),
    "QX_Point_createWithXY": (H, [D, D]),
    "QX_Point_createWithZM": (H, [D, D, D, D]),
    "QX_Point_createWithXYZ": (H, [D, D, D]),
    "QX_Point_createWithM": (H, [D, D, D]),
    "QX_Point_getX": (D, [H]),
    "QX_Point_getY": (D, [H]),
    "QX_Point_getZ": (D, [H]),
    "QX_Point_getM": (D, [H]),
    "QX_Envelope_createWithXY": (H, [D, D, D, D]),
    "QX_Envelope_getXMin": (D, [H]),
    "QX_Envelope_getXMax": (D, [H]),
    "QX_Envelope_getYMin": (D, [H]),
    "QX_Envelope_getYMax": (D, [H]),
    "QX_Geometry_destroy": (None, [H]),
    "QX_Geometry_getObjectType": (I32, [H]),
    "QX_Geometry_getHasZ": (B, [H]),
    "QX_Geometry_getHasM": (B, [H]),
    "QX_Geometry_getHasCurves": (B, [H]),
    "QX_Geometry_getExtent": (H, [H]),
    "QX_Geometry_getSpatialReference": (H, [H]),
    "QX_Geometry_toJSON": (H, [H]),
    "QX_Geometry_fromJSON": (H, [ctypes.c_char_p]),
    "QX_Segment_destroy": (None, [H]),
    "QX_Segment_getObjectType": (I32, [H]),
    "QX_EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior": (H, [H, H, H, H]),
    "QX_EllipticArcSegment_createCircularEllipticArcWithCenter": (H, [H, H, H, B, B, H]),
    "QX_EllipticArcSegment_createWithStartAndEndpoints": (H, [H, H, B, B, H, D, D, D]),
    "QX_EllipticArcSegment_getCenterPoint": (H, [H]),
    "QX_EllipticArcSegment_getCentralAngle": (D, [H]),
    "QX_EllipticArcSegment_getStartAngle": (D, [H]),
    "QX_EllipticArcSegment_getEndAngle": (D, [H]),
    "QX_EllipticArcSegment_getIsCircular": (B, [H]),
    "QX_EllipticArcSegment_getIsCounterClockwise": (B, [H]),
    "QX_EllipticArcSegment_getMinorMajorRatio": (D, [H]),
    "QX_EllipticArcSegment_getRotationAngle": (D, [H]),
    "QX_EllipticArcSegment_getSemiMajorAxis": (D, [H]),
    "QX_CubicBezierSegment_create": (H, [H, H, H, H, H]),
    "QX_CubicBezierSegment_getControlPoint1": (H, [H]),
    "QX_MutablePart_createWithSpatialReference": (H, [H]),
    "QX_MutablePart_destroy": (None, [H]),
    "QX_MutablePart_addPoint": (I64, [H, H]),
    "QX_MutablePart_addPointXY": (I64, [H, D, D]),
    "QX_MutablePart_addPointXYZ": (I64, [H, D, D, D]),
    "QX_MutablePart_addSegment": (None, [H, H]),
    "QX_MutablePartCollection_createWithSpatialReference": (H, [H]),
    "QX_MutablePartCollection_destroy": (None, [H]),
    "QX_MutablePartCollection_addPart": (I64, [H, H]),
    "QX_MutablePartCollection_getPart": (H, [H, I64]),
    "QX_MutablePartCollection_getSize": (I64, [H]),
    "QX_MutablePointCollection_createWithSpatialReference": (H, [H]),
    "QX_MutablePointCollection_destroy": (None, [H]),
    "QX_MutablePointCollection_addPoint": (I64, [H, H]),
    "QX_PolylineBuilder_createFromSpatialReference": (H, [H]),
    "QX_PolygonBuilder_createFromSpatialReference": (H, [H]),
    "QX_MultipointBuilder_createFromSpatialReference": (H, [H]),
    "QX_MultipartBuilder_setParts": (None, [H, H]),
    "QX_MultipointBuilder_setPoints": (None, [H, H]),
    "QX_GeometryBuilder_toGeometry": (H, [H]),
    "QX_GeometryBuilder_destroy": (None, [H]),
    "vaskelith_builder_add_part": (None, [H, ctypes.POINTER(D), ctypes.POINTER(D), ctypes.POINTER(D), ctypes.c_size_t]),
    "vaskelith_builder_take_geometry": (H, [H]),
    "QX_Multipart_getParts": (H, [H]),
    "QX_ImmutablePartCollection_getSize": (I64, [H]),
    "QX_ImmutablePartCollection_getPart": (H, [H, I64]),
    "QX_ImmutablePartCollection_destroy": (None, [H]),
    "QX_ImmutablePart_destroy": (None, [H]),
    "QX_ImmutablePart_getPointCount": (I64, [H]),
    "QX_ImmutablePart_getHasCurves": (B, [H]),
    "QX_ImmutablePart_getSegment": (H, [H, I64]),
    "QX_ImmutablePart_getSegmentIndexFromEndPointIndex": (I64, [H, I64]),
    "QX_ImmutablePart_getPoint": (H, [H, I64]),
    "QX_SpatialReference_create": (H, [U32]),
    "QX_SpatialReference_createVerticalWKID": (H, [U32, U32]),
    "QX_SpatialReference_createFromWKText": (H, [ctypes.c_char_p]),
    "QX_SpatialReference_getWKID": (U32, [H]),
    "QX_SpatialReference_getVerticalWKID": (U32, [H]),
    "QX_SpatialReference_getWKText": (H, [H]),
    "QX_SpatialReference_destroy": (None, [H]),
    "QX_AreaUnit_create": (H, [U32]),
    "QX_LinearUnit_create": (H, [U32]),
    "QX_AreaUnit_getAreaUnitId": (U32, [H]),
    "QX_AreaUnit_convertTo": (D, [H, H, D]),
    "QX_AreaUnit_convertFrom": (D, [H, H, D]),
    "QX_AreaUnit_toSquareMeters": (D, [H, D]),
    "QX_AreaUnit_fromSquareMeters": (D, [H, D]),
    "QX_Unit_destroy": (None, [H]),
    "QX_Vector_create": (H, [U32]),
    "QX_Vector_add": (None, [H, H]),
    "QX_Vector_destroy": (None, [H]),
    "QX_Element_create": (H, []),
    "QX_Element_destroy": (None, [H]),
    "QX_Element_clear": (None, [H]),
    "QX_Element_setValueFromFloat64": (None, [H, D]),
    "QX_Element_setValueFromGeometry": (None, [H, H]),
    "QX_Element_getValueAsGeometry": (H, [H]),
}


class Runtime:
    """Calls runtime functions by name; a reported error raises RuntimeError_."""

    def __init__(self, lib):
        self.lib = lib
        self.live = lib.vaskelith_live_handle_count
        self.live.restype = I64
        self.live.argtypes = []
        self._errors = []

        def on_error(_user, err):
            self._errors.append(self._read_error(err))

        self._callback = CALLBACK(on_error)
        self._handler = ErrorHandler(self._callback, None)
        for name, (res, args) in SIGNATURES.items():
            fn = getattr(lib, name)
            fn.restype = res
            fn.argtypes = args + [ctypes.POINTER(ErrorHandler)]

    def _read_error(self, err):
        get = lambda n: getattr(self.lib, n)  # noqa: E731
        code = get("QX_Error_getCode")(err, None)
        msg = self.string(get("QX_Error_getMessage")(err, None))
        add = self.string(get("QX_Error_getAdditionalMessage")(err, None))
        get("QX_Error_destroy")(err, None)
        return (code, msg, add)

    def string(self, handle):
        ba = self.lib.QX_String_getByteArray(handle, None)
        text = ctypes.string_at(ba.data, ba.size).decode() if ba.size else ""
        self.lib.QX_String_destroy(handle, None)
        return text

    def __getattr__(self, short):
        fn = getattr(self.lib, short if short.startswith("vaskelith_") else "QX_" + short)

        def call(*args):
            self._errors.clear()
            result = fn(*args, ctypes.byref(self._handler))
            if self._errors:
                raise RuntimeError_(*self._errors[-1])
            return result

        return call
