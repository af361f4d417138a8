// Drawing images in the window: the captions, the wipe of the image before,
// the counts of a new image column by column through the Palette, and stored
// counts painted again in other colours without computing anything.
#pragma once

#include <string>

#include "commands/window.h"
#include "engine/buffers.h"
#include "engine/deep_image.h"
#include "engine/image_record.h"

namespace tesvo {

inline constexpr const char* kMandelbrotCaption = "Conjunto de Mandelbrot";
inline constexpr const char* kJuliaCaption = "Conjunto de Julia";

// "%f + %f·i" of the two parts, independent of the process locale.
std::string FormatComplex(double re, double im);
// "Conjunto de Julia" + 37 blanks + "c = " + the record's parameter.
std::string JuliaCaption(double re, double im);
// "Conjunto de Mandelbrot" + 27 blanks + "c = " + the previewed parameter.
std::string PreviewTitle(double re, double im);

// A deep image's caption: "Conjunto de Mandelbrot", 27 blanks and its width.
std::string DeepCaption(const DeepPlace& place);

// Light grey over the image rectangle widened by one pixel to the left and top.
void ClearImageArea(const ImageRecord& record, Window& window);

// Computes record and draws every pixel as palette[count], the picture
// growing from the left. An image of the big picture first wipes `replaced`,
// the rectangle of the image it replaces, and keeps its counts in `stored`;
// a preview draws into the small picture and keeps nothing. Does nothing for
// a record that CanGenerate refuses.
void DrawImage(const ImageRecord& record, const ImageRecord& replaced, const Palette& palette,
               CountBuffer& stored, Window& window);

// The W x H stored block of record's rectangle, composed off screen and copied
// in one step, nothing wiped.
void CopyCounts(const CountBuffer& counts, const ImageRecord& record, const Palette& palette, Window& window);

// The block again after a wipe of `bigPicture`, the whole big-picture area,
// so that the last column and row, and whatever a shortened image leaves
// free, become light grey. A preview's block is copied without the wipe.
void PaintCounts(const CountBuffer& counts, const ImageRecord& record, const ImageRecord& bigPicture,
                 const Palette& palette, Window& window);

}  // namespace tesvo
