#include "engine/mpfr_number.h"

#include <cstdio>
#include <cstdlib>

namespace tesvo {

// Built from mpfr_get_str's digits rather than mpfr_snprintf, whose decimal
// point follows the process's locale: a window in Spanish would write commas.
std::string DecimalText(mpfr_srcptr x, long digits) {
  if (mpfr_zero_p(x)) {
    std::string zero = mpfr_signbit(x) ? "-0" : "0";
    if (digits > 1) {
      zero += '.';
      zero.append(static_cast<std::size_t>(digits - 1), '0');
    }
    return zero.append("e+00");
  }
  mpfr_exp_t exponent = 0;
  char* raw = mpfr_get_str(nullptr, &exponent, 10, static_cast<std::size_t>(digits), x, MPFR_RNDN);
  std::string significand(raw);
  mpfr_free_str(raw);
  std::string text;
  if (significand.front() == '-') {
    text = "-";
    significand.erase(0, 1);
  }
  text += significand.front();
  if (significand.size() > 1) {
    text += '.';
    text.append(significand, 1, std::string::npos);
  }
  // x = 0.d1d2... x 10^exponent = d1.d2... x 10^(exponent - 1)
  const long shown = static_cast<long>(exponent) - 1;
  char tail[32];
  std::snprintf(tail, sizeof tail, "e%c%02ld", shown < 0 ? '-' : '+', std::labs(shown));
  return text.append(tail);
}

}  // namespace tesvo
