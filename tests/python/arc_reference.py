"""Circular arcs in high precision: the exact arc through three given points
(as the doubles they are), and distances and crossings on it in closed form."""
import math

import mpmath as mp

mp.mp.dps = 60


class Arc:
    """The circular arc from s through i to e (pairs of floats), exactly."""

    def __init__(self, s, e, i):
        self.s, self.e, self.i = [tuple(map(mp.mpf, p)) for p in (s, e, i)]
        (ax, ay), (bx, by), (cx, cy) = self.s, self.i, self.e
        d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
        ux = ((ax**2 + ay**2) * (by - cy) + (bx**2 + by**2) * (cy - ay) + (cx**2 + cy**2) * (ay - by)) / d
        uy = ((ax**2 + ay**2) * (cx - bx) + (bx**2 + by**2) * (ax - cx) + (cx**2 + cy**2) * (bx - ax)) / d
        self.c = (ux, uy)
        self.r = mp.hypot(ax - ux, ay - uy)
        # Counter-clockwise when s, i, e turn left.
        self.ccw = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax) > 0
        self.t0 = self.angle(self.s)
        self.sweep = self._ccw_from_start(self.e)

    def angle(self, p):
        return mp.atan2(p[1] - self.c[1], p[0] - self.c[0])

    def _ccw_from_start(self, p):
        """The angle from the start to p the way the arc runs, in [0, 2pi)."""
        d = self.angle(p) - self.t0
        if not self.ccw:
            d = -d
        return d % (2 * mp.pi)

    def holds_angle_of(self, p):
        return self._ccw_from_start(p) <= self.sweep

    def point_toward(self, p):
        """The circle's point on the ray from the centre through p."""
        dx, dy = p[0] - self.c[0], p[1] - self.c[1]
        n = mp.hypot(dx, dy)
        return (self.c[0] + self.r * dx / n, self.c[1] + self.r * dy / n)


def mpp(p):
    return (mp.mpf(p[0]), mp.mpf(p[1]))


def dist(p, q):
    return mp.hypot(p[0] - q[0], p[1] - q[1])


def point_arc(p, a):
    """The distance from point p to arc a."""
    p = mpp(p)
    best = min(dist(p, a.s), dist(p, a.e))
    if a.holds_angle_of(p):
        best = min(best, abs(dist(p, a.c) - a.r))
    return best


def point_segment(p, s, e):
    p, s, e = mpp(p), mpp(s), mpp(e)
    dx, dy = e[0] - s[0], e[1] - s[1]
    t = ((p[0] - s[0]) * dx + (p[1] - s[1]) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0), 1)
    return dist(p, (s[0] + t * dx, s[1] + t * dy))


def line_circle_points(s, e, a):
    """Where the segment s-e meets the circle of a: (point, on the arc)."""
    s, e = mpp(s), mpp(e)
    dx, dy = e[0] - s[0], e[1] - s[1]
    fx, fy = s[0] - a.c[0], s[1] - a.c[1]
    qa, qb, qc = dx * dx + dy * dy, 2 * (fx * dx + fy * dy), fx * fx + fy * fy - a.r**2
    disc = qb * qb - 4 * qa * qc
    if disc < 0:
        return []
    out = []
    for t in {(-qb - mp.sqrt(disc)) / (2 * qa), (-qb + mp.sqrt(disc)) / (2 * qa)}:
        if 0 <= t <= 1:
            p = (s[0] + t * dx, s[1] + t * dy)
            out.append((p, a.holds_angle_of(p)))
    return out


def segment_arc(s, e, a):
    """The distance between the straight segment s-e and arc a."""
    if any(on for _, on in line_circle_points(s, e, a)):
        return mp.mpf(0)
    best = min(point_arc(s, a), point_arc(e, a), point_segment(a.s, s, e), point_segment(a.e, s, e))
    # The foot of the centre on the segment, when the arc holds its ray.
    S, E = mpp(s), mpp(e)
    dx, dy = E[0] - S[0], E[1] - S[1]
    t = ((a.c[0] - S[0]) * dx + (a.c[1] - S[1]) * dy) / (dx * dx + dy * dy)
    if 0 <= t <= 1:
        foot = (S[0] + t * dx, S[1] + t * dy)
        if a.holds_angle_of(foot):
            best = min(best, abs(dist(foot, a.c) - a.r))
    return best


def circle_circle_points(a, b):
    dx, dy = b.c[0] - a.c[0], b.c[1] - a.c[1]
    d = mp.hypot(dx, dy)
    if d > a.r + b.r or d < abs(a.r - b.r) or d == 0:
        return []
    along = (d * d + a.r**2 - b.r**2) / (2 * d)
    h = mp.sqrt(max(a.r**2 - along**2, 0))
    mx, my = a.c[0] + along * dx / d, a.c[1] + along * dy / d
    return [(mx - h * dy / d, my + h * dx / d), (mx + h * dy / d, my - h * dx / d)]


def arc_arc(a, b):
    """The distance between two arcs."""
    for p in circle_circle_points(a, b):
        if a.holds_angle_of(p) and b.holds_angle_of(p):
            return mp.mpf(0)
    best = min(point_arc(a.s, b), point_arc(a.e, b), point_arc(b.s, a), point_arc(b.e, a))
    # Pairs on the line of centres.
    dx, dy = b.c[0] - a.c[0], b.c[1] - a.c[1]
    d = mp.hypot(dx, dy)
    for sa in (1, -1):
        pa = (a.c[0] + sa * a.r * dx / d, a.c[1] + sa * a.r * dy / d)
        if not a.holds_angle_of(pa):
            continue
        for sb in (1, -1):
            pb = (b.c[0] + sb * b.r * dx / d, b.c[1] + sb * b.r * dy / d)
            if b.holds_angle_of(pb):
                best = min(best, dist(pa, pb))
    return best


def ulp_scale(*points):
    """One unit of rounding of the largest coordinate given."""
    return math.ulp(max(abs(float(c)) for p in points for c in p) or 1.0)
