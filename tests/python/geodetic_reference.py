"""Reference values on the WGS 84 ellipsoid, computed here by other means than
the runtime uses, so that the geodetic tests compare against something
independent:

- geodesics by Vincenty's direct and inverse formulas;
- meridian arcs and the area between a latitude and the equator by
  Gauss-Legendre quadrature of their defining integrals;
- loxodromes from the isometric latitude (straight in the Mercator);
- great-elliptic and normal-section curves as the ellipse in which their plane
  cuts the ellipsoid: scaling z by a/b turns the ellipsoid into a sphere and
  the section into a circle, which gives the curve in closed form;
- polygon areas by Green's theorem, the integral of that area function along
  each edge: the area of a clockwise ring is the sum over its edges of the
  integral of strip(lat) d(lon).
"""

import math

A = 6378137.0
F = 1 / 298.257223563
B = A * (1 - F)
E2 = F * (2 - F)
E = math.sqrt(E2)


# ---- quadrature ----


def _legendre_rule(n):
    nodes, weights = [], []
    for i in range(1, n + 1):
        x = math.cos(math.pi * (i - 0.25) / (n + 0.5))
        for _ in range(100):
            p0, p1 = 1.0, x
            for k in range(2, n + 1):
                p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
            dp = n * (x * p1 - p0) / (x * x - 1)
            dx = p1 / dp
            x -= dx
            if abs(dx) < 1e-16:
                break
        nodes.append(x)
        weights.append(2 / ((1 - x * x) * dp * dp))
    return list(zip(nodes, weights))


_RULE = _legendre_rule(20)


def integrate(f, a, b, pieces=8):
    """The integral of a smooth f over [a, b] (composite 20-point Gauss-Legendre)."""
    total = 0.0
    h = (b - a) / pieces
    for k in range(pieces):
        lo = a + k * h
        mid, half = lo + h / 2, h / 2
        total += half * sum(w * f(mid + half * x) for x, w in _RULE)
    return total


# ---- latitude functions ----


def meridian_arc(lat):
    """Distance along the meridian from the equator to `lat` (degrees)."""
    return integrate(lambda p: A * (1 - E2) / (1 - E2 * math.sin(p) ** 2) ** 1.5, 0.0, math.radians(lat))


def strip(lat):
    """Area between the equator and `lat` per radian of longitude."""
    s = math.sin(math.radians(lat))
    return B * B / 2 * (s / (1 - E2 * s * s) + math.atanh(E * s) / E)


def isometric(lat):
    p = math.radians(lat)
    return math.asinh(math.tan(p)) - E * math.atanh(E * math.sin(p))


def from_isometric(psi):
    p = math.atan(math.sinh(psi))
    for _ in range(60):
        prev, p = p, math.atan(math.sinh(psi + E * math.atanh(E * math.sin(p))))
        if p == prev:
            break
    return math.degrees(p)


def parallel_radius(lat):
    p = math.radians(lat)
    return A * math.cos(p) / math.sqrt(1 - E2 * math.sin(p) ** 2)


# ---- geodesics (Vincenty) ----


def geodesic_inverse(lon1, lat1, lon2, lat2):
    """(distance, forward azimuth at the start in degrees); not for near-antipodal points."""
    L = math.radians(math.remainder(lon2 - lon1, 360))
    U1 = math.atan((1 - F) * math.tan(math.radians(lat1)))
    U2 = math.atan((1 - F) * math.tan(math.radians(lat2)))
    sU1, cU1, sU2, cU2 = math.sin(U1), math.cos(U1), math.sin(U2), math.cos(U2)
    lam = L
    for _ in range(500):
        sl, cl = math.sin(lam), math.cos(lam)
        ss = math.hypot(cU2 * sl, cU1 * sU2 - sU1 * cU2 * cl)
        if ss == 0:
            return 0.0, 0.0
        cs = sU1 * sU2 + cU1 * cU2 * cl
        sigma = math.atan2(ss, cs)
        sa = cU1 * cU2 * sl / ss
        c2a = 1 - sa * sa
        c2m = cs - 2 * sU1 * sU2 / c2a if c2a else 0.0
        C = F / 16 * c2a * (4 + F * (4 - 3 * c2a))
        prev = lam
        lam = L + (1 - C) * F * sa * (sigma + C * ss * (c2m + C * cs * (-1 + 2 * c2m * c2m)))
        if abs(lam - prev) < 1e-14:
            break
    u2 = c2a * (A * A - B * B) / (B * B)
    AA = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)))
    BB = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)))
    ds = BB * ss * (c2m + BB / 4 * (cs * (-1 + 2 * c2m**2) - BB / 6 * c2m * (-3 + 4 * ss**2) * (-3 + 4 * c2m**2)))
    azi = math.degrees(math.atan2(cU2 * math.sin(lam), cU1 * sU2 - sU1 * cU2 * math.cos(lam)))
    return B * AA * (sigma - ds), azi


def geodesic_distance(lon1, lat1, lon2, lat2):
    return geodesic_inverse(lon1, lat1, lon2, lat2)[0]


def geodesic_direct(lon1, lat1, azi1, s):
    """(lon, lat, azimuth) at distance s along the geodesic leaving at azi1."""
    a1 = math.radians(azi1)
    U1 = math.atan((1 - F) * math.tan(math.radians(lat1)))
    sU1, cU1 = math.sin(U1), math.cos(U1)
    s1 = math.atan2(math.tan(U1), math.cos(a1))
    sa = cU1 * math.sin(a1)
    c2a = 1 - sa * sa
    u2 = c2a * (A * A - B * B) / (B * B)
    AA = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)))
    BB = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)))
    sigma = s / (B * AA)
    for _ in range(200):
        c2m = math.cos(2 * s1 + sigma)
        ss, cs = math.sin(sigma), math.cos(sigma)
        ds = BB * ss * (c2m + BB / 4 * (cs * (-1 + 2 * c2m**2) - BB / 6 * c2m * (-3 + 4 * ss**2) * (-3 + 4 * c2m**2)))
        prev = sigma
        sigma = s / (B * AA) + ds
        if abs(sigma - prev) < 1e-15:
            break
    ss, cs = math.sin(sigma), math.cos(sigma)
    c2m = math.cos(2 * s1 + sigma)
    t = sU1 * ss - cU1 * cs * math.cos(a1)
    lat = math.atan2(sU1 * cs + cU1 * ss * math.cos(a1), (1 - F) * math.hypot(sa, t))
    lam = math.atan2(ss * math.sin(a1), cU1 * cs - sU1 * ss * math.cos(a1))
    C = F / 16 * c2a * (4 + F * (4 - 3 * c2a))
    L = lam - (1 - C) * F * sa * (sigma + C * ss * (c2m + C * cs * (-1 + 2 * c2m * c2m)))
    azi = math.atan2(sa, -t)
    return lon1 + math.degrees(L), math.degrees(lat), math.degrees(azi)


# ---- plane sections ----


def _sub(p, q):
    return [p[0] - q[0], p[1] - q[1], p[2] - q[2]]


def _dot(p, q):
    return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]


def _cross(p, q):
    return [p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]]


def _unit(p):
    n = math.sqrt(_dot(p, p))
    return [c / n for c in p]


def ecef(lon, lat):
    p, lam = math.radians(lat), math.radians(lon)
    n = A / math.sqrt(1 - E2 * math.sin(p) ** 2)
    return [n * math.cos(p) * math.cos(lam), n * math.cos(p) * math.sin(lam), n * (1 - E2) * math.sin(p)]


def surface_lonlat(x, y, z):
    return math.degrees(math.atan2(y, x)), math.degrees(math.atan2(z, math.hypot(x, y) * (1 - E2)))


class PlaneSection:
    """The curve from P1 to P2 in which a plane through P1 with the given
    normal cuts the ellipsoid: X(t) for t in [0, end]."""

    def __init__(self, lon1, lat1, lon2, lat2, normal):
        k = A / B
        p1, p2 = ecef(lon1, lat1), ecef(lon2, lat2)
        p1[2] *= k
        p2[2] *= k
        n = _unit([normal[0], normal[1], normal[2] / k])
        d = _dot(n, p1)
        self.c = [d * c for c in n]
        self.r = math.sqrt(A * A - d * d)
        self.u = _unit(_sub(p1, self.c))
        self.v = _cross(n, self.u)
        w = _sub(p2, self.c)
        self.end = math.atan2(_dot(w, self.v), _dot(w, self.u))
        self.k = k

    def at(self, t):
        c, s = math.cos(t), math.sin(t)
        q = [self.c[i] + self.r * (c * self.u[i] + s * self.v[i]) for i in range(3)]
        q[2] /= self.k
        return q

    def velocity(self, t):
        c, s = math.cos(t), math.sin(t)
        q = [self.r * (-s * self.u[i] + c * self.v[i]) for i in range(3)]
        q[2] /= self.k
        return q

    def arc(self, t0, t1):
        return abs(integrate(lambda t: math.sqrt(_dot(self.velocity(t), self.velocity(t))), t0, t1))

    def length(self):
        return self.arc(0.0, self.end)

    def distance_from_plane(self, lon, lat):
        q = ecef(lon, lat)
        q[2] *= self.k
        n = _cross(self.u, self.v)
        return abs(_dot(_sub(q, self.c), n)) / self.k

    def param_of(self, lon, lat):
        q = ecef(lon, lat)
        q[2] *= self.k
        w = _sub(q, self.c)
        return math.atan2(_dot(w, self.v), _dot(w, self.u))

    def area_term(self):
        """The integral of strip(lat) d(lon) along the curve."""

        def f(t):
            x, y, z = self.at(t)
            dx, dy, _ = self.velocity(t)
            return strip(surface_lonlat(x, y, z)[1]) * (x * dy - y * dx) / (x * x + y * y)

        return integrate(f, 0.0, self.end, 16)


def great_ellipse(lon1, lat1, lon2, lat2):
    return PlaneSection(lon1, lat1, lon2, lat2, _cross(ecef(lon1, lat1), ecef(lon2, lat2)))


def normal_section(lon1, lat1, lon2, lat2):
    p, lam = math.radians(lat1), math.radians(lon1)
    up = [math.cos(p) * math.cos(lam), math.cos(p) * math.sin(lam), math.sin(p)]
    return PlaneSection(lon1, lat1, lon2, lat2, _cross(up, _sub(ecef(lon2, lat2), ecef(lon1, lat1))))


# ---- lengths and areas by curve type ----


def loxodrome_length(lon1, lat1, lon2, lat2):
    """Straight in the Mercator (longitude against isometric latitude): the
    Mercator length times the mean radius of the parallels along the way,
    the meters of ground per radian there (the meridian arc over the
    isometric latitude, taken as a mean so that nearly east-west lines keep
    their precision)."""
    dlon = math.radians(math.remainder(lon2 - lon1, 360))
    if abs(lat1) == 90 or abs(lat2) == 90:
        # The loxodromes leaving a pole are its meridians.
        return abs(meridian_arc(lat2) - meridian_arc(lat1))
    p1, p2 = isometric(lat1), isometric(lat2)
    if p1 == p2:
        return parallel_radius(lat1) * abs(dlon)
    mean_radius = integrate(lambda q: parallel_radius(from_isometric(q)), p1, p2, 2) / (p2 - p1)
    return math.hypot(dlon, p2 - p1) * mean_radius


def plate_carree_length(lon1, lat1, lon2, lat2):
    """Length of the line straight in longitude and latitude (no wrapping):
    the integral of its speed sqrt((M dlat)^2 + (N cos(lat) dlon)^2), with M
    and N the meridian and prime-vertical radii.  The latitude is carried as
    its angle from the nearer pole, and the pieces shrink towards both ends,
    where a line that winds round a pole moves fastest in longitude."""
    pole = 90.0 if lat1 + lat2 >= 0 else -90.0
    c1, c2 = math.radians(pole - lat1), math.radians(pole - lat2)
    dlat, dlon = math.radians(lat2 - lat1), math.radians(lon2 - lon1)

    def speed(t):
        c = c1 + (c2 - c1) * t
        w = 1 - E2 * math.cos(c) ** 2
        n = A / math.sqrt(w)
        return math.hypot(n * (1 - E2) / w * dlat, n * abs(math.sin(c)) * dlon)

    cuts = sorted({0.0, 0.5, 1.0} | {2.0**-k for k in range(2, 60)} | {1 - 2.0**-k for k in range(2, 53)})
    return sum(integrate(speed, lo, hi, 2) for lo, hi in zip(cuts, cuts[1:]))


def _edge_area_term(kind, a, b):
    (lon1, lat1), (lon2, lat2) = a, b
    if kind == "geodesic":
        s, azi = geodesic_inverse(lon1, lat1, lon2, lat2)

        def f(d):
            _, lat, az = geodesic_direct(lon1, lat1, azi, d)
            # d(lon)/ds along a geodesic is sin(azimuth) / (N cos(lat)).
            return strip(lat) * math.sin(math.radians(az)) / parallel_radius(lat)

        return integrate(f, 0.0, s, 16)
    if kind == "loxodrome":
        dlon = math.radians(math.remainder(lon2 - lon1, 360))
        p1, p2 = isometric(lat1), isometric(lat2)
        if p1 == p2:
            return strip(lat1) * dlon
        return dlon / (p2 - p1) * integrate(lambda q: strip(from_isometric(q)), p1, p2, 16)
    if kind == "plate_carree":
        # Straight in longitude and latitude, without wrapping.
        return math.radians(lon2 - lon1) * integrate(lambda t: strip(lat1 + (lat2 - lat1) * t), 0.0, 1.0)
    section = great_ellipse if kind == "great_elliptic" else normal_section
    return section(lon1, lat1, lon2, lat2).area_term()


def ring_area(kind, ring):
    """Area of a closed ring (first vertex repeated at the end), clockwise
    positive; the ring must not wind around a pole."""
    return sum(_edge_area_term(kind, a, b) for a, b in zip(ring, ring[1:]))
