// Computing and drawing an image: the caption, the wipe of the previous
// image, the counts into the CountBuffer and every pixel through the Palette,
// column by column.
#pragma once

#include <string>

#include "engine/image_record.h"
#include "engine/window.h"

namespace tesvo {

inline constexpr const char* kMandelbrotCaption = "Conjunto de Mandelbrot";
inline constexpr const char* kJuliaCaption = "Conjunto de Julia";

// "%f + %f·i" of the two parts, independent of the process locale.
std::string FormatComplex(double re, double im);
// "Conjunto de Julia" + 37 blanks + "c = " + the record's parameter.
std::string JuliaCaption(double re, double im);
// "Conjunto de Mandelbrot" + 27 blanks + "c = " + the previewed parameter.
std::string PreviewTitle(double re, double im);

// True once the big picture holds a Mandelbrot or Julia image with its
// preset slots filled. Before that (nothing drawn yet, or only the start-up
// placeholder) zoom and the colour commands do nothing, a right click only
// explains, and the window offers neither the precision nor the colour buttons.
bool HasImage();

// Does nothing for a record that CanGenerate refuses.
void GenerateImage(ImageRecord record, Window& window);
void ScanMandelbrot(ImageRecord record, Window& window);
void ScanJulia(ImageRecord record, Window& window);

// Light grey over the image rectangle widened by one pixel to the left and top.
void ClearImageArea(ImageRecord record, Window& window);

}  // namespace tesvo
