#include "library/image_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <tuple>

namespace tesvo {
namespace {

// Base letters of U+00C0 to U+00FF; '_' marks the two signs × and ÷.
constexpr char kLatin1Base[] = "AAAAAAACEEEEIIIIDNOOOOO_OUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty";

// One character's weights: the letter without case or accent, then whether it
// carries an accent, then whether it is upper case.
struct Weights {
  std::uint32_t primary;
  int accent;
  int upper;
};

// Next code point of UTF-8 text; a byte that starts no valid sequence stands
// for itself.
std::uint32_t NextCodePoint(const std::string& text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char first = byte(i);
  int length = 1;
  std::uint32_t value = first;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    value = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    value = first & 0x0F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    value = first & 0x07;
  }
  if (length > 1 && i + length <= text.size()) {
    bool valid = true;
    for (int k = 1; k < length; ++k) valid = valid && (byte(i + k) & 0xC0) == 0x80;
    if (valid) {
      for (int k = 1; k < length; ++k) value = value << 6 | (byte(i + k) & 0x3F);
      i += length;
      return value;
    }
  }
  ++i;
  return first;
}

Weights WeighCodePoint(std::uint32_t c) {
  constexpr std::uint32_t kDigits = 0x200;
  constexpr std::uint32_t kLetters = 0x300;
  constexpr std::uint32_t kOthers = 0x400;
  if (c >= 'a' && c <= 'z') return {kLetters + (c - 'a'), 0, 0};
  if (c >= 'A' && c <= 'Z') return {kLetters + (c - 'A'), 0, 1};
  if (c >= '0' && c <= '9') return {kDigits + (c - '0'), 0, 0};
  if (c < 0x80) return {c, 0, 0};
  if (c >= 0xC0 && c <= 0xFF && kLatin1Base[c - 0xC0] != '_') {
    const char base = kLatin1Base[c - 0xC0];
    Weights weights = WeighCodePoint(static_cast<unsigned char>(base));
    weights.accent = 1;
    weights.upper = c < 0xDF ? 1 : 0;
    return weights;
  }
  return {kOthers + c, 0, 0};
}

std::vector<Weights> Weigh(const std::string& text) {
  std::vector<Weights> weights;
  for (std::size_t i = 0; i < text.size();) weights.push_back(WeighCodePoint(NextCodePoint(text, i)));
  return weights;
}

template <typename Key>
int CompareBy(const std::vector<Weights>& a, const std::vector<Weights>& b, Key key) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = key(a[i]);
    const auto y = key(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

}  // namespace

bool ListsBefore(const std::string& a, const std::string& b) {
  const std::vector<Weights> x = Weigh(a);
  const std::vector<Weights> y = Weigh(b);
  if (const int order = CompareBy(x, y, [](const Weights& w) { return w.primary; })) return order < 0;
  if (const int order = CompareBy(x, y, [](const Weights& w) { return w.accent; })) return order < 0;
  if (const int order = CompareBy(x, y, [](const Weights& w) { return w.upper; })) return order < 0;
  return a < b;
}

std::vector<std::string> SavedImageNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::string file = it->path().filename().string();
    // Only an exact ".dat" can be read back under the listed name.
    if (file.size() >= 4 && file.compare(file.size() - 4, 4, ".dat") == 0)
      names.push_back(file.substr(0, file.size() - 4));
  }
  std::sort(names.begin(), names.end(), ListsBefore);
  return names;
}

}  // namespace tesvo
