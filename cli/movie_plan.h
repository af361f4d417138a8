// The views of a zoom movie: the first and last given, those between
// interpolated in high precision so that the zoom looks straight; the
// manifest (views.txt) that lists them; the frames' files in a folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/deep_view.h"

namespace tesvo {

// One frame's view, as decimal strings with enough digits to draw it again.
struct FrameView {
  std::string centreRe, centreIm, width;
  std::int64_t limit = 0;
};

struct Movie {
  char formulaLetter = 'c';
  int columns = 0;
  int rows = 0;
  int fps = 0;
  std::vector<FrameView> frames;  // frame k is frames[k - 1]
  int antialias = 1;              // each pixel the mean of A x A samples
  // How every frame is coloured: its counts' method, and the palette of these
  // colours (a saved image's record; its control colours and gradation) or,
  // where there are none, of the formula's preset.
  std::int32_t method = kEscapeTime;
  std::optional<ImageRecord> colours = std::nullopt;

  const ImageRecord* Colours() const { return colours ? &*colours : nullptr; }
};

// `count` views (at least 2) from first to last: the width goes geometrically,
// width_k = w0 (w1 / w0)^(k / (count - 1)); the point both views share (the
// fixed point p of the similarity taking the first onto the last) stays put,
// centre_k = p + (c0 - p) width_k / w0; with equal widths the centre moves
// evenly. The limit goes geometrically from first.limit to last.limit,
// rounded. The first and last are the given strings. Every number passes
// IsDecimalNumber.
std::vector<FrameView> InterpolateViews(const FrameView& first, const FrameView& last, int count);

// A view of the movie's formula, size and method as the deep engine draws it.
DeepView MovieDeepView(const Movie& movie, const FrameView& frame);
// Frame k's.
DeepView FrameDeepView(const Movie& movie, int k);

// views.txt: a header line "# formula L size WxH fps F", with " antialias A"
// after it for A above 1, " method M" for a method other than "tiempo de
// escape", and " colours R,G,B R,G,B R,G,B R,G,B R,G,B gradation G" for
// colours other than the formula's preset's, then one line per frame
// "k centre_re centre_im width limit", k from 1.
std::string ManifestText(const Movie& movie);
// The movie of a manifest, or nullopt when the text is not one.
std::optional<Movie> ParseManifest(const std::string& text);

// "A-B" or "A": frames A to B of 1 .. count; nullopt when it is not that.
std::optional<std::pair<int, int>> ParseFrameRange(const std::string& text, int count);

inline constexpr const char* kManifestName = "views.txt";

// folder/frame_NNNNNN.png, k with six digits at least.
std::string FrameFileName(const std::string& folder, int k);

// Whether bytes are a whole PNG of the view as WriteViewPicture writes it at
// that anti-aliasing in those colours: the signature, the end chunk last, and
// the view's text.
bool IsWholeFrame(const std::vector<std::uint8_t>& bytes, const DeepView& view, int antialias = 1,
                  const ImageRecord* colours = nullptr);

}  // namespace tesvo
