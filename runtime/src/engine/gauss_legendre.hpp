// 16-point Gauss-Legendre quadrature, shared by the curve-length integrals of
// the planar and the geodetic engines.
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

namespace vaskelith::quadrature {

// A Newton step on a node this small is below the rounding of a number
// of size one: the node is exact to the last digit.
inline constexpr double kNodeSettled = 1e-17;

// Nodes and weights on [-1, 1], found once by Newton's method on the
// Legendre polynomial.
struct Gauss16 {
  static constexpr int n = 16;
  double x[n], w[n];
  Gauss16() {
    for (int i = 0; i < n; ++i) {
      double z = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5)), dp = 1;
      for (int iter = 0; iter < 100; ++iter) {
        double p0 = 1, p1 = z;
        for (int k = 2; k <= n; ++k) {
          const double p2 = ((2 * k - 1) * z * p1 - (k - 1) * p0) / k;
          p0 = p1;
          p1 = p2;
        }
        dp = n * (z * p1 - p0) / (z * z - 1);
        const double step = p1 / dp;
        z -= step;
        if (std::fabs(step) <= kNodeSettled) break;
      }
      x[i] = -z;
      w[i] = 2 / ((1 - z * z) * dp * dp);
    }
  }
};

inline const Gauss16& gauss16() {
  static const Gauss16 g;
  return g;
}

// The integral of f over [lo, hi] by one 16-point rule.
template <class F>
double gauss(F&& f, double lo, double hi) {
  const Gauss16& g = gauss16();
  const double mid = 0.5 * (lo + hi), half = 0.5 * (hi - lo);
  double s = 0;
  for (int i = 0; i < Gauss16::n; ++i) s += g.w[i] * f(mid + half * g.x[i]);
  return s * half;
}

// The integral of a positive f over [lo, hi], each piece halved until its
// halves agree with it to `tolerance` times a first estimate of the whole.
// Near a point where f has a singularity
// just off the interval the pieces shrink geometrically towards it, so a few
// dozen halvings reach any such point that doubles can tell from the end;
// `max_depth` only stops a piece that rounding keeps from agreeing.
template <class F>
double adaptive_gauss(const F& f, double lo, double hi, double tolerance, int max_depth = 60) {
  const double whole = gauss(f, lo, hi), agreement = tolerance * std::fabs(whole);
  struct Piece {
    double lo, hi, whole;
    int depth;
  };
  std::vector<Piece> work{{lo, hi, whole, 0}};
  double total = 0;
  while (!work.empty()) {
    const Piece p = work.back();
    work.pop_back();
    const double mid = 0.5 * (p.lo + p.hi);
    const double left = gauss(f, p.lo, mid), right = gauss(f, mid, p.hi);
    if (p.depth >= max_depth || !std::isfinite(left + right) ||
        std::fabs(left + right - p.whole) <= agreement) {
      total += left + right;
    } else {
      work.push_back({mid, p.hi, right, p.depth + 1});
      work.push_back({p.lo, mid, left, p.depth + 1});
    }
  }
  return total;
}

}  // namespace vaskelith::quadrature
