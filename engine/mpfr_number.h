// One MPFR number that frees itself, and the decimal text of such numbers:
// what the deep views' arithmetic on centres and widths is written with.
#pragma once

#include <mpfr.h>

#include <string>

namespace tesvo {

class MpfrNumber {
 public:
  explicit MpfrNumber(mpfr_prec_t precision) { mpfr_init2(x_, precision); }
  // A decimal number, rounded to the nearest.
  MpfrNumber(mpfr_prec_t precision, const std::string& text) : MpfrNumber(precision) {
    mpfr_set_str(x_, text.c_str(), 10, MPFR_RNDN);
  }
  MpfrNumber(const MpfrNumber&) = delete;
  MpfrNumber& operator=(const MpfrNumber&) = delete;
  ~MpfrNumber() { mpfr_clear(x_); }
  mpfr_ptr operator*() { return x_; }
  mpfr_srcptr operator*() const { return x_; }
  // The binary exponent e of 0.5 <= |x| / 2^e < 1; 0 for zero.
  long Exponent() const { return mpfr_regular_p(x_) ? mpfr_get_exp(x_) : 0; }

 private:
  mpfr_t x_;
};

// x in scientific notation with `digits` significant digits: "-7.4364e-01".
std::string DecimalText(mpfr_srcptr x, long digits);

}  // namespace tesvo
