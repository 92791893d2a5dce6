// The runtime wrapper types the model converts to and from.  Only the
// conversion sources include the binding's headers.
#pragma once

namespace ostrel::rt {
class SpatialReference;
class GeometryOwned;
class Point;
class Envelope;
class Polyline;
class Polygon;
class Multipoint;
class PolylineBuilder;
class PolygonBuilder;
class MultipointBuilder;
class MutablePart;
class MutablePartCollection;
class ImmutablePart;
class SegmentOwned;
class EllipticArcSegment;
class CubicBezierSegment;
}  // namespace ostrel::rt
