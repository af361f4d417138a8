// Julia sets: the preview of a point of a Mandelbrot image, the preview of a
// typed parameter, and the enlargement of the preview into the big picture.
#pragma once

#include <optional>
#include <string>

#include "engine/window.h"
#include "navigation/plane_mapping.h"

namespace tesvo {

inline constexpr const char* kNotMandelbrotMessage =
    "Esta opción no está activa.\n"
    "Fíjate que en el título pone 'Conjunto de Julia'.\n"
    "Esto solo funciona cuando pone 'Conjunto de Mandelbrot'. ¿Vale?";

// Right click: the preview of the clicked point's Julia set. Anything but a
// Mandelbrot image in the big picture, nothing at all included, is answered
// with kNotMandelbrotMessage.
void JuliaFromPoint(Window& window, ClientPoint point);
// True once a preview has been drawn that "Ampliar" can enlarge.
bool HasPreview();
// "Ampliar": the previewed set at full size in the big picture.
void EnlargePreview(Window& window);
// "a + bi": the preview of a typed parameter.
void JuliaFromCoordinates(Window& window);

// A number as the coordinates dialog takes it: at most the first 31
// characters, leading blanks and tabs skipped, C-locale notation, nothing but
// blanks and tabs after it, finite. Nothing for a text that is not a number.
std::optional<double> ParseDialogNumber(const std::string& text);

}  // namespace tesvo
