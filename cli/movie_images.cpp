#include "cli/movie_images.h"

#include <algorithm>
#include <cmath>

#include "cli/view_render.h"
#include "commands/messages.h"
#include "engine/deep_image.h"
#include "engine/mpfr_number.h"
#include "library/record_problem.h"

namespace tesvo {
namespace {

// Enough bits for the sum or difference of any two doubles to be exact: from
// 2^1024 down to 2^-1074.
constexpr mpfr_prec_t kDoubleSumBits = 2200;

// The formulas a movie draws, as tesvo render of a view names them.
constexpr const char* kDeepFormulas = "se dibujan la c (z^2), la e (z^4) y la f (z^4+z^3)";

}  // namespace

std::string ExactDecimal(mpfr_srcptr x) {
  if (!mpfr_regular_p(x)) return DecimalText(x, 1);
  // x = M 2^-f with M a whole number of min_prec bits: at most f digits after
  // the decimal point, and fewer than `exponent` before it.
  const long exponent = mpfr_get_exp(x);
  const long fraction = static_cast<long>(mpfr_min_prec(x)) - exponent;
  const std::string text = DecimalText(x, std::max(fraction, 0L) + std::max(exponent, 0L) + 1);
  const std::size_t e = text.find('e');
  std::size_t last = text.find_last_not_of('0', e - 1);
  if (text[last] == '.') --last;
  return text.substr(0, last + 1) + text.substr(e);
}

FrameView SavedImageView(const SavedRecord& saved) {
  const ImageRecord& r = saved.record;
  FrameView view;
  view.limit = std::isfinite(r.iterationLimit) ? static_cast<std::int64_t>(r.iterationLimit) : 0;
  if (!saved.place.Empty()) {
    view.centreRe = saved.place.centreRe;
    view.centreIm = saved.place.centreIm;
    view.width = saved.place.width;
    return view;
  }
  MpfrNumber a(kDoubleSumBits), b(kDoubleSumBits), x(kDoubleSumBits);
  const auto midpoint = [&](double low, double high) {
    mpfr_set_d(*a, low, MPFR_RNDN);
    mpfr_set_d(*b, high, MPFR_RNDN);
    mpfr_add(*x, *a, *b, MPFR_RNDN);
    mpfr_div_2ui(*x, *x, 1, MPFR_RNDN);
    return ExactDecimal(*x);
  };
  view.centreRe = midpoint(r.planeLeft, r.planeRight);
  view.centreIm = midpoint(r.planeBottom, r.planeTop);
  mpfr_set_d(*a, r.planeLeft, MPFR_RNDN);
  mpfr_set_d(*b, r.planeRight, MPFR_RNDN);
  mpfr_sub(*x, *b, *a, MPFR_RNDN);
  view.width = ExactDecimal(*x);
  return view;
}

std::optional<MovieImage> ReadMovieImage(const std::string& file, std::string& problem) {
  const std::string base = file.ends_with(".dat") ? file.substr(0, file.size() - 4) : file;
  MovieImage image;
  image.file = ParameterFileName(base);
  image.saved = ReadSavedRecord(base);
  const SavedRecord& saved = image.saved;
  if (const std::optional<RecordFault> fault = SavedRecordProblem(saved)) {
    problem = "El fichero " + image.file + " no es una imagen de Tesvo: " + RecordFaultText(*fault) + ".";
    return std::nullopt;
  }
  if (saved.record.kind != kMandelbrotKind) {
    problem =
        "El fichero " + image.file +
        " es una imagen de un conjunto de Julia; una película va de una imagen del conjunto de Mandelbrot "
        "a otra.";
    return std::nullopt;
  }
  if (!DeepFormulaSupported(saved.record.formulaLetter)) {
    problem = "La imagen de " + image.file + " es de la fórmula " + saved.record.formulaLetter +
              ", que no se dibuja todavía a cualquier profundidad; " + kDeepFormulas + ".";
    return std::nullopt;
  }
  image.view = SavedImageView(saved);
  return image;
}

std::optional<std::string> TakeImageEnds(const MovieImage& first, const MovieImage& last, Movie& movie,
                                         FrameView ends[2]) {
  const ImageRecord& a = first.saved.record;
  const ImageRecord& b = last.saved.record;
  if (a.formulaLetter != b.formulaLetter)
    return "Las dos imágenes son de fórmulas distintas: " + first.file + " de la " + a.formulaLetter + " y " +
           last.file + " de la " + b.formulaLetter + "; una película es de una sola fórmula.";
  if (!DeepMethodSupported(a.coloringMethod))
    return "La imagen de " + first.file +
           " está en el modo «inversión», que no se dibuja más allá de lo que alcanzan los números de doble "
           "precisión; una película se dibuja en «tiempo de escape», «descomposición» o «convergencia».";
  movie.formulaLetter = a.formulaLetter;
  movie.method = a.coloringMethod;
  movie.colours = a;
  ends[0] = first.view;
  ends[1] = last.view;
  return std::nullopt;
}

}  // namespace tesvo
