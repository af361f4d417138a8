// A PNG file read back with libpng's own reader, which checks the signature,
// every chunk's CRC and the compressed data.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "library/picture_file.h"

namespace tesvo::testing {

struct DecodedPng {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<Colour> pixels;  // row by row, as 0x00BBGGRR
  std::string record;          // the text under kRecordKeyword
};

inline DecodedPng Decode(const std::string& file) {
  DecodedPng decoded;
  FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return decoded;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, in);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8) {
      decoded.width = static_cast<int>(png_get_image_width(png, info));
      decoded.height = static_cast<int>(png_get_image_height(png, info));
      png_bytepp rows = png_get_rows(png, info);
      for (int y = 0; y < decoded.height; ++y)
        for (int x = 0; x < decoded.width; ++x) {
          const png_bytep p = rows[y] + 3 * x;
          decoded.pixels.push_back(p[0] | p[1] << 8 | p[2] << 16);
        }
      png_textp texts = nullptr;
      const int count = png_get_text(png, info, &texts, nullptr);
      for (int i = 0; i < count; ++i)
        if (std::string(texts[i].key) == kRecordKeyword)
          decoded.record.assign(texts[i].text, texts[i].text_length);
      decoded.ok = true;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(in);
  return decoded;
}

// The pixels as bytes, red, green, blue, row after row.
inline std::vector<std::uint8_t> RgbBytes(const DecodedPng& png) {
  std::vector<std::uint8_t> rgb;
  for (Colour c : png.pixels)
    for (int shift : {0, 8, 16}) rgb.push_back(static_cast<std::uint8_t>(c >> shift));
  return rgb;
}

}  // namespace tesvo::testing
