// 16-point Gauss-Legendre quadrature, shared by the curve-length integrals of
// the planar and the geodetic engines.
#pragma once

#include <cmath>
#include <numbers>

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

}  // namespace vaskelith::quadrature
