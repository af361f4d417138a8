// The two ends of a zoom movie given as saved images (`--from-image A.dat
// --to-image B.dat`): each image's view and limit, and the first image's
// colours and method, in which every frame is drawn.
#pragma once

#include <mpfr.h>

#include <optional>
#include <string>

#include "cli/movie_plan.h"
#include "engine/image_record.h"
#include "library/image_files.h"

namespace tesvo {

// The view of a saved image: a deep image's place as it is written; for an
// image of doubles, the midpoint of its window and its plane width
// (planeRight - planeLeft), computed in MPFR from the exact values of its
// corners and written as exact decimals. The limit is the record's, its
// whole part (a halved 312.5 counts 312, as the scan counts it).
FrameView SavedImageView(const SavedRecord& saved);

// The exact decimal of a number: every digit of its binary value, in
// scientific notation, trailing zeros dropped (0.5 is "5e-01", the double
// nearest 0.1 "1.000000000000000055511151231257827021181583404541015625e-01").
std::string ExactDecimal(mpfr_srcptr x);

// One end of a movie read from a saved image.
struct MovieImage {
  std::string file;  // NAME.dat, as messages name it
  SavedRecord saved;
  FrameView view;
};

// Reads the image of `file` (NAME.dat, or NAME for NAME.dat) as a movie's end:
// a record Tesvo writes of a Mandelbrot image of a formula the deep engine
// counts. The Spanish message of the first thing wrong when it is not one.
// Throws FileError when the file cannot be read or is too short.
std::optional<MovieImage> ReadMovieImage(const std::string& file, std::string& problem);

// The movie's two ends from two images read: the same formula; the colours
// and the method of the first, which must be one a movie draws. Sets the
// movie's formula, method and colours and the two ends' views (with the
// images' limits). The Spanish message when they make no movie.
std::optional<std::string> TakeImageEnds(const MovieImage& first, const MovieImage& last, Movie& movie,
                                         FrameView ends[2]);

}  // namespace tesvo
