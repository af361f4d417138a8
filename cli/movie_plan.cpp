#include "cli/movie_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "cli/view_render.h"
#include "engine/deep_image.h"
#include "engine/formulas.h"
#include "engine/mpfr_number.h"
#include "library/png_writer.h"

namespace tesvo {
namespace {

using Number = MpfrNumber;

long ExponentOf(const std::string& text) { return Number(64, text).Exponent(); }

// Digits beyond the width's own that each number carries: the pixels are
// width / columns apart, and 20 digits more leave every frame's picture the
// one its printed numbers give.
constexpr long kSpareDigits = 21;

// The manifest's first line, without its line end; what is left at its
// default is not named, so that a movie of the preset's colours in "tiempo de
// escape" keeps the header it always had.
std::string HeaderText(const Movie& movie) {
  std::string text = std::string("# formula ") + movie.formulaLetter + " size " +
                     std::to_string(movie.columns) + "x" + std::to_string(movie.rows) + " fps " +
                     std::to_string(movie.fps);
  if (movie.antialias > 1) text += " antialias " + std::to_string(movie.antialias);
  if (movie.method != kEscapeTime) text += " method " + std::to_string(movie.method);
  if (!PresetColours(movie.Colours(), movie.formulaLetter))
    text += " colours " + ControlColoursText(movie.colours->controlColours) + " gradation " +
            std::to_string(movie.colours->gradation);
  return text;
}

// What follows "fps F" in a header: the words after "antialias", "method" and
// "colours", in that order, each at most once. False for anything else.
bool ReadHeaderTail(const std::string& tail, Movie& movie) {
  std::istringstream words(tail);
  std::string word;
  int last = 0;  // 1 antialias, 2 method, 3 colours: each comes after the one before
  while (words >> word) {
    if (word == "antialias" && last < 1 && words >> movie.antialias) {
      last = 1;
    } else if (word == "method" && last < 2 && words >> movie.method) {
      last = 2;
    } else if (word == "colours" && last < 3 && FormulaRow(movie.formulaLetter) >= 0) {
      std::string colours[5], gradation;
      for (std::string& c : colours) words >> c;
      words >> gradation;
      const std::optional<ControlColours> control = ParseControlColours(
          colours[0] + " " + colours[1] + " " + colours[2] + " " + colours[3] + " " + colours[4]);
      ImageRecord record = BuiltInPresets()[FormulaRow(movie.formulaLetter)][kMandelbrotPreset];
      if (!control || gradation != "gradation" || !(words >> record.gradation) || record.gradation < 1)
        return false;
      record.controlColours = *control;
      movie.colours = record;
      last = 3;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<FrameView> InterpolateViews(const FrameView& first, const FrameView& last, int count) {
  std::vector<FrameView> views(static_cast<std::size_t>(count));
  views.front() = first;
  views.back() = last;
  if (count <= 2) return views;
  const long smallest = std::min(ExponentOf(first.width), ExponentOf(last.width));
  long largest = smallest;
  for (const std::string* text :
       {&first.centreRe, &first.centreIm, &last.centreRe, &last.centreIm, &first.width, &last.width})
    largest = std::max(largest, ExponentOf(*text));
  std::size_t longest = 0;
  for (const std::string* text : {&first.centreRe, &first.centreIm, &last.centreRe, &last.centreIm})
    longest = std::max(longest, text->size());
  // Bits for the centres' span over the smallest width, for the digits given,
  // and some to spare for the powers.
  const mpfr_prec_t precision =
      static_cast<mpfr_prec_t>(std::max<long>(largest - smallest, 0) + 4 * static_cast<long>(longest) + 128);

  Number w0(precision, first.width), w1(precision, last.width);
  Number c0[2] = {Number(precision, first.centreRe), Number(precision, first.centreIm)};
  Number c1[2] = {Number(precision, last.centreRe), Number(precision, last.centreIm)};
  const bool zooms = mpfr_cmp(*w0, *w1) != 0;
  Number p[2] = {Number(precision), Number(precision)};
  Number a(precision), b(precision), ratio(precision), logRatio(precision), t(precision), scale(precision),
      width(precision), centre(precision);
  if (zooms) {
    // p = (c1 w0 - c0 w1) / (w0 - w1)
    mpfr_sub(*b, *w0, *w1, MPFR_RNDN);
    for (int part = 0; part < 2; ++part) {
      mpfr_mul(*a, *c1[part], *w0, MPFR_RNDN);
      mpfr_mul(*p[part], *c0[part], *w1, MPFR_RNDN);
      mpfr_sub(*a, *a, *p[part], MPFR_RNDN);
      mpfr_div(*p[part], *a, *b, MPFR_RNDN);
    }
  }
  mpfr_div(*ratio, *w1, *w0, MPFR_RNDN);
  mpfr_log(*logRatio, *ratio, MPFR_RNDN);
  const double limitRatio = static_cast<double>(last.limit) / static_cast<double>(first.limit);
  for (int k = 1; k + 1 < count; ++k) {
    FrameView& view = views[static_cast<std::size_t>(k)];
    mpfr_set_si(*t, k, MPFR_RNDN);
    mpfr_div_si(*t, *t, count - 1, MPFR_RNDN);
    mpfr_mul(*scale, *logRatio, *t, MPFR_RNDN);
    mpfr_exp(*scale, *scale, MPFR_RNDN);  // width_k / w0
    mpfr_mul(*width, *w0, *scale, MPFR_RNDN);
    std::string* out[2] = {&view.centreRe, &view.centreIm};
    for (int part = 0; part < 2; ++part) {
      if (zooms) {
        mpfr_sub(*centre, *c0[part], *p[part], MPFR_RNDN);
        mpfr_mul(*centre, *centre, *scale, MPFR_RNDN);
        mpfr_add(*centre, *centre, *p[part], MPFR_RNDN);
      } else {
        mpfr_sub(*centre, *c1[part], *c0[part], MPFR_RNDN);
        mpfr_mul(*centre, *centre, *t, MPFR_RNDN);
        mpfr_add(*centre, *centre, *c0[part], MPFR_RNDN);
      }
      const long centreExponent = mpfr_regular_p(*centre) ? mpfr_get_exp(*centre) : 0;
      const long spread = std::max<long>(0, centreExponent - mpfr_get_exp(*width));
      const long digits = kSpareDigits + static_cast<long>(std::ceil(static_cast<double>(spread) * 0.30103));
      *out[part] = DecimalText(*centre, digits);
    }
    view.width = DecimalText(*width, kSpareDigits);
    view.limit = std::llround(static_cast<double>(first.limit) *
                              std::pow(limitRatio, static_cast<double>(k) / (count - 1)));
    view.limit = std::max<std::int64_t>(view.limit, 1);
  }
  return views;
}

DeepView MovieDeepView(const Movie& movie, const FrameView& frame) {
  DeepView view;
  view.formulaLetter = movie.formulaLetter;
  view.bound = DeepPresetBound(movie.formulaLetter);
  view.centreRe = frame.centreRe;
  view.centreIm = frame.centreIm;
  view.width = frame.width;
  view.limit = frame.limit;
  view.method = movie.method;
  view.columns = movie.columns;
  view.rows = movie.rows;
  return view;
}

DeepView FrameDeepView(const Movie& movie, int k) {
  return MovieDeepView(movie, movie.frames[static_cast<std::size_t>(k - 1)]);
}

std::string ManifestText(const Movie& movie) {
  std::string text = HeaderText(movie) + "\n";
  for (std::size_t i = 0; i < movie.frames.size(); ++i) {
    const FrameView& f = movie.frames[i];
    text += std::to_string(i + 1) + " " + f.centreRe + " " + f.centreIm + " " + f.width + " " +
            std::to_string(f.limit) + "\n";
  }
  return text;
}

std::optional<Movie> ParseManifest(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  Movie movie;
  if (!std::getline(in, line)) return std::nullopt;
  char letter = 0;
  int columns = 0, rows = 0, fps = 0, used = 0;
  if (std::sscanf(line.c_str(), "# formula %c size %dx%d fps %d%n", &letter, &columns, &rows, &fps, &used) !=
      4)
    return std::nullopt;
  movie.formulaLetter = letter;
  movie.columns = columns;
  movie.rows = rows;
  movie.fps = fps;
  // Only the header this program writes for what it read: no antialias 1,
  // no method 2, no preset colours, nothing out of order or of range.
  if (!ReadHeaderTail(line.substr(static_cast<std::size_t>(used)), movie) || HeaderText(movie) != line ||
      !DeepMethodSupported(movie.method))
    return std::nullopt;
  if (columns < 1 || rows < 1 || fps < 1) return std::nullopt;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    long long k = 0;
    FrameView view;
    std::string rest;
    if (!(fields >> k >> view.centreRe >> view.centreIm >> view.width >> view.limit) || (fields >> rest) ||
        k != static_cast<long long>(movie.frames.size()) + 1 || !IsDecimalNumber(view.centreRe) ||
        !IsDecimalNumber(view.centreIm) || !IsDecimalNumber(view.width) || view.limit < 1)
      return std::nullopt;
    movie.frames.push_back(view);
  }
  if (movie.frames.empty()) return std::nullopt;
  return movie;
}

std::optional<std::pair<int, int>> ParseFrameRange(const std::string& text, int count) {
  int first = 0, last = 0, used = 0;
  if (std::sscanf(text.c_str(), "%d-%d%n", &first, &last, &used) == 2 &&
      static_cast<std::size_t>(used) == text.size()) {
  } else if (std::sscanf(text.c_str(), "%d%n", &first, &used) == 1 &&
             static_cast<std::size_t>(used) == text.size()) {
    last = first;
  } else {
    return std::nullopt;
  }
  if (text.empty() || text[0] < '0' || text[0] > '9' || first < 1 || last < first || last > count)
    return std::nullopt;
  return std::pair{first, last};
}

std::string FrameFileName(const std::string& folder, int k) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", k);
  return folder + "/" + name;
}

bool IsWholeFrame(const std::vector<std::uint8_t>& bytes, const DeepView& view, int antialias,
                  const ImageRecord* colours) {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  static constexpr std::uint8_t kEnd[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xae, 0x42, 0x60, 0x82};
  if (bytes.size() < sizeof kSignature + sizeof kEnd ||
      !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin()) ||
      !std::equal(std::begin(kEnd), std::end(kEnd), bytes.end() - sizeof kEnd))
    return false;
  // The whole chunk, its length and check included: a view's text is part of
  // the same view's text with an anti-aliasing named after it.
  const std::vector<std::uint8_t> chunk = TextChunk(kViewKeyword, ViewText(view, antialias, colours));
  return std::search(bytes.begin(), bytes.end(), chunk.begin(), chunk.end()) != bytes.end();
}

}  // namespace tesvo
