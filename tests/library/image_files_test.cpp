#include "library/image_files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/messages.h"
#include "engine/buffers.h"
#include "file_helpers.h"
#include "library/file_error.h"
#include "library/picture_file.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;
using testing::WriteFileBytes;

std::uint64_t Little(const std::vector<std::uint8_t>& b, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= std::uint64_t{b.at(at + i)} << (8 * i);
  return value;
}

class ImageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {}

  testing::TemporaryDirectory dir;
};

// Every preset saved as it is: its 200 bytes in the record's layout, filler
// and reserved bytes zero, the name's bytes after its NUL zero.
TEST_F(ImageFilesTest, PresetsWrittenToDiskKeepFillerReservedAndNameTailZero) {
  const std::int16_t count = 0;
  for (int row = 0; row < kFormulaCount; ++row) {
    for (int slot = 0; slot < 3; ++slot) {
      const std::string name = "preset" + std::to_string(row) + std::to_string(slot);
      const ImageRecord& preset = BuiltInPresets()[row][slot];
      WritePair(name, preset, &count, 1);
      const std::vector<std::uint8_t> b = FileBytes(name + ".dat");
      const RecordBytes expected = ToBytes(preset);
      ASSERT_EQ(b, std::vector<std::uint8_t>(expected.begin(), expected.end())) << name;
      std::size_t end = 148;
      while (b[end] != 0) ++end;
      for (std::size_t at = end; at < 168; ++at) EXPECT_EQ(b[at], 0) << name << " at " << at;
      for (std::size_t at : {81, 82, 83, 169, 170, 171}) EXPECT_EQ(b[at], 0) << name << " at " << at;
      for (std::size_t at = 180; at < 200; ++at) EXPECT_EQ(b[at], 0) << name << " at " << at;
    }
  }
  const std::vector<std::uint8_t> z2 = FileBytes("preset20.dat");
  EXPECT_EQ(Little(z2, 0, 8), std::bit_cast<std::uint64_t>(100.0));
  EXPECT_EQ(Little(z2, 48, 4), 250u);
  EXPECT_EQ(Little(z2, 60, 4), 542u);
  EXPECT_EQ(z2[80], 'm');
  EXPECT_EQ(std::string(z2.begin() + 148, z2.begin() + 152), std::string("z^2\0", 4));
  EXPECT_EQ(z2[168], 'c');
}

// The counts, signed 16-bit little-endian, in CountBuffer order.
TEST_F(ImageFilesTest, PixelFileHoldsTheCountsInOrder) {
  std::vector<std::int16_t> counts(531 * 531);
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = static_cast<std::int16_t>(i * 7919 % 65536);
  WritePair("foto", BuiltInPresets()[2][0], counts.data(), counts.size());
  const std::vector<std::uint8_t> pixels = FileBytes("foto.pix");
  ASSERT_EQ(pixels.size(), 563'922u);
  for (std::size_t i = 0; i < counts.size(); ++i)
    ASSERT_EQ(Little(pixels, 2 * i, 2), static_cast<std::uint16_t>(counts[i])) << "entry " << i;
}

TEST_F(ImageFilesTest, ParameterFileRoundTripKeepsEveryByte) {
  ImageRecord record = BuiltInPresets()[5][kJuliaPreset];
  record.filler1 = {1, 2, 3};
  record.filler2 = {4, 5, 6};
  record.reserved.fill(0xEE);
  record.formulaName[19] = 'x';
  WritePair("raro", record, nullptr, 0);
  EXPECT_TRUE(SameBytes(ReadParameterFile("raro"), record));
  EXPECT_TRUE(ParameterFileExists("raro"));
  EXPECT_EQ(fs::file_size("raro.pix"), 0u);
}

// A parameter file must hold a whole record, and what follows it is not
// read; a pixel file that is missing or short leaves the counts as they were.
TEST_F(ImageFilesTest, ReadsTakeOnlyFilesOfTheRightSize) {
  for (std::size_t size : {0, 199}) {
    WriteFileBytes("corto.dat", std::vector<std::uint8_t>(size, 0x41));
    EXPECT_THROW(ReadParameterFile("corto"), FileError) << size;
  }
  const RecordBytes record = ToBytes(BuiltInPresets()[3][0]);
  std::vector<std::uint8_t> longer(record.begin(), record.end());
  longer.resize(260, 0x41);
  WriteFileBytes("largo.dat", longer);
  EXPECT_TRUE(SameBytes(ReadParameterFile("largo"), BuiltInPresets()[3][0]));
  std::vector<std::int16_t> counts(4, 77);
  EXPECT_EQ(ReadPixelFile("nada", counts.data(), counts.size()), PixelFileState::kMissing);
  WriteFileBytes("corto.pix", {1, 0, 2, 0, 3});
  EXPECT_EQ(ReadPixelFile("corto", counts.data(), counts.size()), PixelFileState::kShort);
  EXPECT_EQ(counts, std::vector<std::int16_t>(4, 77));
  WriteFileBytes("justo.pix", {1, 0, 0xFF, 0xFF, 0x88, 0x13, 0x00, 0x80});
  EXPECT_EQ(ReadPixelFile("justo", counts.data(), counts.size()), PixelFileState::kRead);
  EXPECT_EQ(counts, std::vector<std::int16_t>({1, -1, 5000, -32768}));
}

// Names are used as typed: an extension stays part of the base name, a
// folder puts both files into it.
TEST_F(ImageFilesTest, NamesAreUsedAsTyped) {
  const std::int16_t count = 5;
  WritePair("foto.dat", BuiltInPresets()[2][0], &count, 1);
  WritePair("   ", BuiltInPresets()[2][0], &count, 1);
  fs::create_directory("carpeta");
  WritePair("carpeta/foto", BuiltInPresets()[2][0], &count, 1);
  EXPECT_EQ(dir.Entries(),
            std::vector<std::string>({"   .dat", "   .pix", "carpeta", "foto.dat.dat", "foto.dat.pix"}));
  EXPECT_TRUE(fs::exists("carpeta/foto.dat"));
  EXPECT_TRUE(fs::exists("carpeta/foto.pix"));
}

// A name the file system accepts is saved, however close to its length limit.
TEST_F(ImageFilesTest, LongestNameTheFileSystemTakesIsWritten) {
  const std::string name(255 - 4, 'n');
  const std::int16_t count = 5;
  EXPECT_NO_THROW(WritePair(name, BuiltInPresets()[2][0], &count, 1));
  EXPECT_TRUE(fs::exists(name + ".dat"));
  EXPECT_TRUE(fs::exists(name + ".pix"));
}

// Each failure names the file, leaves what was there and no temporary file.
TEST_F(ImageFilesTest, FailedWritesLeaveTheFolderAsItWas) {
  const std::int16_t count = 5;
  const ImageRecord record = BuiltInPresets()[2][0];
  fs::create_directories("foto.pix/dentro");
  WriteFileBytes("plano", {1, 2, 3});
  const std::vector<std::string> before = dir.Entries();

  struct Case {
    std::string base;
    std::string file;  // named in the error
    const char* reason;
  };
  const Case cases[] = {
      {"foto", "foto.pix", "Hay una carpeta con ese nombre."},
      {"plano/foto", "plano/foto.pix", "Una parte de la ruta no es una carpeta."},
      {std::string(300, 'n'), std::string(300, 'n') + ".pix", "El nombre es demasiado largo."},
      {"falta/foto", "falta/foto.pix", "La carpeta no existe."},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.file.substr(0, 40));
    try {
      WritePair(t.base, record, &count, 1);
      ADD_FAILURE() << "written";
    } catch (const FileError& error) {
      EXPECT_EQ(error.step(), FileStep::kWrite);
      EXPECT_EQ(error.file(), t.file);
      EXPECT_EQ(FileErrorText(error), "No se ha podido grabar el fichero " + t.file + ".\n" + t.reason);
    }
    EXPECT_EQ(dir.Entries(), before);
  }
  EXPECT_TRUE(fs::exists("foto.pix/dentro"));
  EXPECT_EQ(FileBytes("plano"), std::vector<std::uint8_t>({1, 2, 3}));
}

// A disk that fills up in the middle of a write: the file that was there
// before stays whole, whichever of the two files fails.
TEST_F(ImageFilesTest, WriteThatRunsOutOfSpaceKeepsTheOldFile) {
  const std::vector<std::uint8_t> old = {9, 9};
  WriteFileBytes("foto.pix", old);
  const ImageRecord record = BuiltInPresets()[2][0];

  struct Case {
    std::size_t counts;
    rlim_t limit;
    const char* failing;
  };
  for (const Case& t : {Case{531 * 531, 4096, "foto.pix"}, Case{25, 100, "foto.dat"}}) {
    SCOPED_TRACE(t.failing);
    const std::vector<std::int16_t> counts(t.counts, 5);
    std::string failed;
    try {
      const testing::FileSizeLimit full(t.limit);
      WritePair("foto", record, counts.data(), counts.size());
    } catch (const FileError& error) {
      failed = error.file();
    }
    EXPECT_EQ(failed, t.failing);
    EXPECT_EQ(FileBytes("foto.pix"), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"foto.pix"});
  }
}

// A named pipe under the name of a parameter, pixel or picture file is
// refused at once: opening it for reading would wait for a writer for ever.
TEST_F(ImageFilesTest, SpecialFilesAreRefusedWithoutWaiting) {
  ::alarm(30);  // a hang ends the test instead of the run
  for (const char* file : {"tubo.dat", "tubo.pix", "pipa.png"}) ASSERT_EQ(::mkfifo(file, 0644), 0);
  WriteFileBytes("pipa.dat", std::vector<std::uint8_t>(kRecordSize));
  fs::create_directory("carpeta.pix");
  std::vector<std::int16_t> counts(4);
  const auto message = [](auto read) {
    try {
      read();
    } catch (const FileError& error) {
      return FileErrorText(error);
    }
    return std::string("read");
  };
  const std::string pipe = ".\nNo es un fichero de datos sino una tubería, un dispositivo o un socket.";
  EXPECT_EQ(message([] { ReadParameterFile("tubo"); }), "No se ha podido leer el fichero tubo.dat" + pipe);
  EXPECT_EQ(message([&] { ReadPixelFile("tubo", counts.data(), counts.size()); }),
            "No se ha podido leer el fichero tubo.pix" + pipe);
  EXPECT_EQ(message([&] { ReadPixelFile("carpeta", counts.data(), counts.size()); }),
            "No se ha podido leer el fichero carpeta.pix.\nHay una carpeta con ese nombre.");
  EXPECT_FALSE(IsPictureOfParameterFile("pipa"));
  ::alarm(0);
}

// A rebuilt pixel file is written only beside the record it was computed
// from: not once another process has deleted the pair or saved another.
TEST_F(ImageFilesTest, RebuiltPixelFileFollowsItsParameterFile) {
  const ImageRecord record = BuiltInPresets()[2][0];
  ImageRecord other = record;
  other.juliaRe = 1;
  const std::int16_t count = 7;
  EXPECT_FALSE(WritePixelFileOf("foto", record, {.narrow = &count, .count = 1}));
  ASSERT_TRUE(WritePair("foto", other, &count, 0));
  EXPECT_FALSE(WritePixelFileOf("foto", record, {.narrow = &count, .count = 1}));
  EXPECT_EQ(fs::file_size("foto.pix"), 0u);
  EXPECT_TRUE(WritePixelFileOf("foto", other, {.narrow = &count, .count = 1}));
  EXPECT_EQ(FileBytes("foto.pix"), std::vector<std::uint8_t>({7, 0}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"foto.dat", "foto.pix"}));
}

// A socket where a file is expected: the prepared text, not a number.
TEST_F(ImageFilesTest, SocketIsReportedAsNoDataFile) {
  const int fd = testing::MakeSocket("enchufe.pix");
  ASSERT_TRUE(fs::is_socket("enchufe.pix"));
  std::vector<std::int16_t> counts(4);
  try {
    ReadPixelFile("enchufe", counts.data(), counts.size());
    ADD_FAILURE() << "read";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error),
              "No se ha podido leer el fichero enchufe.pix.\n"
              "No es un fichero de datos sino una tubería, un dispositivo o un socket.");
  }
  ::close(fd);
}

}  // namespace
}  // namespace tesvo
