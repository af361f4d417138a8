// sin, cos, exp and atan with the same result on every machine. The C
// library's versions pick a different implementation by CPU, which would make
// a saved image come out differently elsewhere; SLEEF's deterministic family
// gives bit-identical results for its scalar and vector forms alike.
#pragma once

#include <sleef.h>

namespace tesvo {

inline double Sin(double x) { return Sleef_cinz_sind1_u10purec(x); }
inline double Cos(double x) { return Sleef_cinz_cosd1_u10purec(x); }
inline double Exp(double x) { return Sleef_cinz_expd1_u10purec(x); }
inline double Atan(double x) { return Sleef_cinz_atand1_u10purec(x); }

}  // namespace tesvo
