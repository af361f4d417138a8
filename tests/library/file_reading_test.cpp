#include "library/file_reading.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_helpers.h"
#include "library/file_error.h"

namespace tesvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The start of a file as asked for: all of a shorter one, the first bytes of
// a longer one; a missing file is nothing to the one reader and an error
// naming it to the other.
TEST(FileReading, StartOfAFileIsAtMostTheSizeAsked) {
  const testing::TemporaryDirectory dir;
  testing::WriteFileBytes("tres", {1, 2, 3});
  testing::WriteFileBytes("vacio", {});
  struct Case {
    const char* file;
    std::size_t size;
    std::optional<Bytes> start;
  };
  const Case cases[] = {
      {"tres", 2, Bytes{1, 2}}, {"tres", 3, Bytes{1, 2, 3}}, {"tres", 8, Bytes{1, 2, 3}},
      {"tres", 0, Bytes{}},     {"vacio", 4, Bytes{}},       {"nada", 4, std::nullopt},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(std::string(t.file) + " " + std::to_string(t.size));
    EXPECT_EQ(ReadFileStartIfPresent(t.file, t.size), t.start);
    if (t.start) {
      EXPECT_EQ(ReadFileStart(t.file, t.size), *t.start);
      continue;
    }
    try {
      ReadFileStart(t.file, t.size);
      ADD_FAILURE() << "read";
    } catch (const FileError& error) {
      EXPECT_EQ(error.step(), FileStep::kRead);
      EXPECT_EQ(error.file(), t.file);
      EXPECT_EQ(error.systemError(), ENOENT);
    }
  }
}

}  // namespace
}  // namespace tesvo
