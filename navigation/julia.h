// Julia sets: the preview of a point of a Mandelbrot image, the preview of a
// typed parameter, and the enlargement of the preview into the big picture,
// the explorer's commands defined in julia.cpp. Here: what they tell the user
// and how the coordinates dialog reads a number.
#pragma once

#include <optional>
#include <string>

namespace tesvo {

inline constexpr const char* kNotMandelbrotMessage =
    "Esta opción no está activa.\n"
    "Fíjate que en el título pone 'Conjunto de Julia'.\n"
    "Esto solo funciona cuando pone 'Conjunto de Mandelbrot'. ¿Vale?";

// A number as the coordinates dialog takes it: at most the first 31
// characters, leading blanks and tabs skipped, C-locale notation, nothing but
// blanks and tabs after it, finite. Nothing for a text that is not a number.
std::optional<double> ParseDialogNumber(const std::string& text);

}  // namespace tesvo
