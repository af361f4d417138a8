// Numbers beyond a double's exponent range, for the differences of deep views:
// a double mantissa with an exponent of its own. Where the same double
// operation neither overflows nor underflows, each operation here rounds
// exactly as it does, so a value computed in either form is the same.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace tesvo {

struct FloatExp {
  double m = 0;        // 0, or 0.5 <= |m| < 1
  std::int64_t e = 0;  // the value is m * 2^e

  // x * 2^e for any finite x.
  static FloatExp Of(double x, std::int64_t e = 0) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0) {
      if (x == 0) return {};
      int k = 0;
      const double m = std::frexp(x, &k);
      return {m, e + k};
    }
    const std::uint64_t half = (bits & ~(std::uint64_t{0x7ff} << 52)) | (std::uint64_t{1022} << 52);
    return {std::bit_cast<double>(half), e + biased - 1022};
  }

  // The nearest double: 0 (or a subnormal) far down, infinity far up.
  double ToDouble() const {
    if (e > -1021 && e < 1024) return m * Power(e);
    return std::ldexp(m, static_cast<int>(std::clamp<std::int64_t>(e, -4000, 4000)));
  }

  // 2^k for -1022 <= k <= 1023.
  static double Power(std::int64_t k) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
  }

  bool IsZero() const { return m == 0; }
  FloatExp operator-() const { return {-m, e}; }
  FloatExp Abs() const { return {std::fabs(m), e}; }
};

inline FloatExp operator*(FloatExp a, FloatExp b) {
  // |a.m * b.m| lies in [0.25, 1): one rounding, as the double product.
  return FloatExp::Of(a.m * b.m, a.e + b.e);
}

inline FloatExp operator/(FloatExp a, FloatExp b) { return FloatExp::Of(a.m / b.m, a.e - b.e); }

inline FloatExp operator+(FloatExp a, FloatExp b) {
  if (b.m == 0) return a;
  if (a.m == 0) return b;
  if (a.e < b.e) std::swap(a, b);
  // Below half an ulp of a, b leaves the rounded sum at a, as in doubles.
  if (a.e - b.e > 60) return a;
  // The shift is exact: the shifted mantissa stays far above the subnormals.
  return FloatExp::Of(a.m + b.m * FloatExp::Power(b.e - a.e), a.e);
}

inline FloatExp operator-(FloatExp a, FloatExp b) { return a + -b; }

// Orders non-negative values.
inline bool operator<(FloatExp a, FloatExp b) {
  if (a.m == 0 || b.m == 0) return a.m < b.m;
  return a.e != b.e ? a.e < b.e : a.m < b.m;
}

inline FloatExp Max(FloatExp a, FloatExp b) { return a < b ? b : a; }
inline FloatExp Min(FloatExp a, FloatExp b) { return a < b ? a : b; }

// The arithmetic the differences need, in doubles or FloatExp, each product
// and sum in the order written.
template <class T>
struct Cx {
  T re{};
  T im{};
};

template <class T>
inline Cx<T> operator+(const Cx<T>& a, const Cx<T>& b) {
  return {a.re + b.re, a.im + b.im};
}

template <class T>
inline Cx<T> operator*(const Cx<T>& a, const Cx<T>& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

template <class T>
inline Cx<T> Scaled(const Cx<T>& a, double k) {
  return {a.re * k, a.im * k};
}

inline Cx<FloatExp> ToFloatExp(const Cx<double>& z) { return {FloatExp::Of(z.re), FloatExp::Of(z.im)}; }
inline Cx<double> ToDouble(const Cx<FloatExp>& z) { return {z.re.ToDouble(), z.im.ToDouble()}; }

// Bounds of |z| without a square root: below it and above it.
inline double LowerAbs(const Cx<double>& z) { return std::max(std::fabs(z.re), std::fabs(z.im)); }
inline double UpperAbs(const Cx<double>& z) { return std::fabs(z.re) + std::fabs(z.im); }
inline FloatExp LowerAbs(const Cx<FloatExp>& z) { return Max(z.re.Abs(), z.im.Abs()); }
inline FloatExp UpperAbs(const Cx<FloatExp>& z) { return z.re.Abs() + z.im.Abs(); }

}  // namespace tesvo
