#include "engine/reference_orbit.h"

#include <gmp.h>
#include <mpfr.h>

namespace tesvo {
namespace {

class Real {
 public:
  explicit Real(long precision) { mpfr_init2(x_, precision); }
  ~Real() { mpfr_clear(x_); }
  Real(const Real&) = delete;
  Real& operator=(const Real&) = delete;
  mpfr_ptr operator*() { return x_; }

 private:
  mpfr_t x_;
};

FloatExp Whole(mpfr_ptr x) {
  if (mpfr_zero_p(x)) return {};
  long e = 0;
  const double m = mpfr_get_d_2exp(&e, x, MPFR_RNDN);
  return FloatExp::Of(m, e);
}

bool NearZero(mpfr_ptr x) { return mpfr_zero_p(x) || mpfr_get_exp(x) <= -kNearZeroExponent; }

}  // namespace

ReferenceOrbit ComputeReferenceOrbit(char letter, const std::string& re, const std::string& im,
                                     long precision, std::int64_t limit, double bound,
                                     const std::function<bool(double)>& progress) {
  Real cRe(precision), cIm(precision), x(precision), y(precision), sRe(precision), sIm(precision),
      tRe(precision), tIm(precision), u(precision);
  mpfr_set_str(*cRe, re.c_str(), 10, MPFR_RNDN);
  mpfr_set_str(*cIm, im.c_str(), 10, MPFR_RNDN);
  mpfr_set_zero(*x, 1);
  mpfr_set_zero(*y, 1);

  ReferenceOrbit orbit;
  orbit.z.reserve(static_cast<std::size_t>(std::min<std::int64_t>(limit, 1 << 20)) + 1);
  orbit.z.push_back({0.0, 0.0});
  for (std::int64_t n = 1; n <= limit; ++n) {
    // s = z^2
    mpfr_sqr(*sRe, *x, MPFR_RNDN);
    mpfr_sqr(*u, *y, MPFR_RNDN);
    mpfr_sub(*sRe, *sRe, *u, MPFR_RNDN);
    mpfr_mul(*sIm, *x, *y, MPFR_RNDN);
    mpfr_mul_2ui(*sIm, *sIm, 1, MPFR_RNDN);
    if (letter == 'c') {
      mpfr_add(*x, *sRe, *cRe, MPFR_RNDN);
      mpfr_add(*y, *sIm, *cIm, MPFR_RNDN);
    } else {
      // t = s^2 = z^4
      mpfr_sqr(*tRe, *sRe, MPFR_RNDN);
      mpfr_sqr(*u, *sIm, MPFR_RNDN);
      mpfr_sub(*tRe, *tRe, *u, MPFR_RNDN);
      mpfr_mul(*tIm, *sRe, *sIm, MPFR_RNDN);
      mpfr_mul_2ui(*tIm, *tIm, 1, MPFR_RNDN);
      if (letter == 'f') {
        // s = s * z = z^3, added to z^4
        mpfr_mul(*u, *sRe, *x, MPFR_RNDN);
        mpfr_fms(*u, *sIm, *y, *u, MPFR_RNDN);  // sIm*y - sRe*x
        mpfr_neg(*u, *u, MPFR_RNDN);
        mpfr_mul(*sIm, *sIm, *x, MPFR_RNDN);
        mpfr_fma(*sIm, *sRe, *y, *sIm, MPFR_RNDN);
        mpfr_add(*tRe, *tRe, *u, MPFR_RNDN);
        mpfr_add(*tIm, *tIm, *sIm, MPFR_RNDN);
      }
      mpfr_add(*x, *tRe, *cRe, MPFR_RNDN);
      mpfr_add(*y, *tIm, *cIm, MPFR_RNDN);
    }
    const Cx<double> z{mpfr_get_d(*x, MPFR_RNDN), mpfr_get_d(*y, MPFR_RNDN)};
    orbit.z.push_back(z);
    if (z.im * z.im + z.re * z.re > bound || (NearZero(*x) && NearZero(*y))) break;
    if (progress && (n & 0xffff) == 0 && !progress(static_cast<double>(n) / static_cast<double>(limit)))
      break;
  }
  orbit.last = {Whole(*x), Whole(*y)};
  return orbit;
}

}  // namespace tesvo
