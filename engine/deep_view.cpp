#include "engine/deep_view.h"

#include <gmp.h>
#include <mpfr.h>

#include <cctype>

#include "engine/image_record.h"

namespace tesvo {
namespace {

bool Digits(const std::string& text, std::size_t& at) {
  const std::size_t from = at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  return at > from;
}

}  // namespace

bool IsDecimalNumber(const std::string& text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  bool digits = Digits(text, at);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits = Digits(text, at) || digits;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (!Digits(text, at)) return false;
  }
  return at == text.size();
}

bool DeepFormulaSupported(char letter) { return letter == 'c' || letter == 'e' || letter == 'f'; }

double DeepPresetBound(char letter) {
  for (const PresetRow& row : BuiltInPresets())
    if (row[kMandelbrotPreset].formulaLetter == letter) return row[kMandelbrotPreset].escapeBound;
  return 0;
}

}  // namespace tesvo
