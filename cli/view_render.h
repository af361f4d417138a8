// `tesvo render --formula L --centre RE IM --width W --limit N --size WxH
// [--method M] [--antialias A] [--counts FILE] [--threads N] OUT.png`: the
// picture of a view given by its numbers, at any depth, without a saved image.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "colour/scaled_picture.h"
#include "engine/deep_image.h"
#include "engine/deep_view.h"

namespace tesvo {

inline constexpr const char* kViewUsage =
    "Uso: tesvo render --formula L --centre RE IM --width W --limit N --size AxB [--method M] "
    "[--antialias A] [--counts FICHERO] [--threads N] SALIDA.png";

// The largest limit and picture a view is drawn with: the reference orbit
// takes some tens of bytes a step, the counts four bytes a pixel.
inline constexpr std::int64_t kMaxViewLimit = std::int64_t{1} << 26;
inline constexpr std::int64_t kMaxViewPixels = std::int64_t{1} << 26;

// Whether the arguments after "render" describe a view rather than name a
// saved image: they give --formula.
bool IsViewCommand(const std::vector<std::string>& arguments);

// Where the bytes of a picture or of its counts go, in order.
using ByteSink = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

// The keyword of the text chunk that names a view's picture.
inline constexpr const char* kViewKeyword = "Tesvo.view";

// Whether a picture in `colours` is one in the formula's preset colours: none
// given, or the preset's five control colours and gradation, which alone make
// the palette.
bool PresetColours(const ImageRecord* colours, char formulaLetter);

// The five control colours as the text chunk and a movie's manifest name
// them: "R,G,B R,G,B R,G,B R,G,B R,G,B", each component in decimal.
std::string ControlColoursText(const ControlColours& colours);
// The colours of such a text, or nothing where it is not five triples of
// components from 0 to 255.
std::optional<ControlColours> ParseControlColours(const std::string& text);

// The view as its picture's text chunk carries it, enough to draw it again;
// a method other than "tiempo de escape", colours other than the formula's
// preset's ("colours R,G,B ..." and "gradation G") and an anti-aliasing above
// 1 are named too.
std::string ViewText(const DeepView& view, int antialias = 1, const ImageRecord* colours = nullptr);

// Counts a view that DeepViewProblem accepts and writes its PNG to picture:
// the bytes `tesvo render` writes for it. With antialias A above 1 the view
// is counted on a grid A times as fine each way, over the same plane, and
// each pixel is the rounded mean of its A x A samples' colours. Its counts,
// little-endian 32-bit integers row by row, go to counts when that is set
// (only without anti-aliasing). False when settings.progress asked to stop
// or Ctrl+C came; what was written is then not a whole picture.
// The colours are those of `colours` where given, else the formula's preset's.
bool WriteViewPicture(const DeepView& view, const DeepSettings& settings, const ByteSink& picture,
                      const ByteSink& counts = {}, int antialias = 1, const ImageRecord* colours = nullptr);

// `tesvo render IN.dat OUT.png` of a saved deep image: its view with K times
// its columns and rows over the same plane, in its own colours and method.
int RenderDeepImage(const ImageRecord& record, const DeepPlace& place, PictureSize size, int threads,
                    const std::string& output, std::ostream& err, bool progressBar, int standardOutput);

// Runs the command as RenderCommand runs a saved image's, with its exit
// statuses; the caller has started catching Ctrl+C.
int RenderViewCommand(const std::vector<std::string>& arguments, std::ostream& err, bool progressBar,
                      int standardOutput);

}  // namespace tesvo
