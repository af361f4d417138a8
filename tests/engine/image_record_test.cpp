#include "engine/image_record.h"

#include <gtest/gtest.h>

namespace tesvo {
namespace {

TEST(ImageRecord, PresetByteOffsets) {
  const ImageRecord& r = BuiltInPresets()[2][kMandelbrotPreset];
  const RecordBytes b = ToBytes(r);
  EXPECT_EQ(b[48], 250);
  EXPECT_EQ(b[80], 'm');
  EXPECT_EQ(b[168], 'c');
  EXPECT_EQ(FromBytes(b).planeLeft, -2.2);
}

}  // namespace
}  // namespace tesvo
