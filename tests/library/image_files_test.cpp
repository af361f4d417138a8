#include "library/image_files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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
      EXPECT_EQ(error.what(), "No se ha podido grabar el fichero " + t.file + ".\n" + t.reason);
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

// A file that is already gone is no error; any other failure is.
TEST_F(ImageFilesTest, RemoveAndReplaceReportAllButMissingFiles) {
  EXPECT_NO_THROW(RemoveIfPresent("nada.dat"));
  EXPECT_FALSE(ReplaceWithCopyOf("nada.dat", "otra.dat"));
  EXPECT_FALSE(fs::exists("otra.dat"));
  fs::create_directories("carpeta.dat/dentro");
  try {
    RemoveIfPresent("carpeta.dat");
    ADD_FAILURE() << "removed";
  } catch (const FileError& error) {
    EXPECT_EQ(error.step(), FileStep::kRemove);
    EXPECT_EQ(error.file(), "carpeta.dat");
  }
  WriteFileBytes("a.dat", {1});
  try {
    ReplaceWithCopyOf("a.dat", "carpeta.dat");
    ADD_FAILURE() << "replaced";
  } catch (const FileError& error) {
    EXPECT_EQ(error.step(), FileStep::kCopy);
    EXPECT_STREQ(error.what(),
                 "No se ha podido copiar el fichero a.dat a carpeta.dat.\nHay una carpeta con ese nombre.");
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"a.dat", "carpeta.dat"}));
}

// The copy keeps the source in place and replaces the target whole: by a hard
// link, or by copying where the two names lie on different file systems.
TEST_F(ImageFilesTest, ReplaceWithCopyOfKeepsTheSource) {
  WriteFileBytes("a.pix", {1, 2, 3});
  WriteFileBytes("b.pix", {9});
  EXPECT_TRUE(ReplaceWithCopyOf("a.pix", "b.pix"));
  EXPECT_EQ(FileBytes("a.pix"), std::vector<std::uint8_t>({1, 2, 3}));
  EXPECT_EQ(FileBytes("b.pix"), std::vector<std::uint8_t>({1, 2, 3}));
  EXPECT_EQ(fs::hard_link_count("a.pix"), 2u);
  // Already the same file: nothing changes and no temporary name is left.
  EXPECT_TRUE(ReplaceWithCopyOf("a.pix", "b.pix"));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"a.pix", "b.pix"}));
  EXPECT_EQ(fs::hard_link_count("a.pix"), 2u);

  const fs::path elsewhere = "/dev/shm";
  struct stat here, there;
  if (::stat(".", &here) != 0 || ::stat(elsewhere.c_str(), &there) != 0 || here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system to copy across";
  const fs::path source = elsewhere / ("tesvo-copia-" + std::to_string(::getpid()) + ".pix");
  WriteFileBytes(source, {4, 5});
  EXPECT_TRUE(ReplaceWithCopyOf(source, "b.pix"));
  fs::remove(source);
  EXPECT_EQ(FileBytes("b.pix"), std::vector<std::uint8_t>({4, 5}));
  EXPECT_EQ(fs::hard_link_count("b.pix"), 1u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"a.pix", "b.pix"}));
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
      return std::string(error.what());
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

// The name of a temporary file this process writes for target with tag.
std::string TemporaryOf(const std::string& target, const std::string& tag) {
  const StagedFile staged(target, tag, {1});
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename().string().starts_with(".tesvo-")) return entry.path().filename().string();
  return {};
}

// Whatever waits at the temporary name, a named pipe above all, is replaced
// by a new file: the write neither blocks nor goes into something else.
TEST_F(ImageFilesTest, WriteReplacesWhateverIsAtItsTemporaryName) {
  ::alarm(30);
  const std::string temporary = TemporaryOf("foto.pix", ".pix");
  ASSERT_EQ(::mkfifo(temporary.c_str(), 0644), 0);
  const std::int16_t count = 7;
  EXPECT_TRUE(WritePair("foto", BuiltInPresets()[2][0], &count, 1));
  EXPECT_EQ(FileBytes("foto.pix"), std::vector<std::uint8_t>({7, 0}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"foto.dat", "foto.pix"}));
  ::alarm(0);
}

// Files staged at once for different targets of one folder keep apart,
// whatever their tags; the same target is staged under the same name.
TEST_F(ImageFilesTest, EachTargetHasATemporaryOfItsOwn) {
  EXPECT_EQ(TemporaryOf("foto.pix", ".pix"), TemporaryOf("foto.pix", ".pix"));
  EXPECT_NE(TemporaryOf("foto.pix", ".pix"), TemporaryOf("otra.pix", ".pix"));
  StagedFile first("foto.pix", ".pix", {1});
  StagedFile second("otra.pix", ".pix", {2});
  StagedFile third("foto.dat", ".link", {3});
  StagedFile fourth("otra.dat", ".link", {4});
  for (StagedFile* staged : {&first, &second, &third, &fourth}) staged->Commit();
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"foto.dat", "foto.pix", "otra.dat", "otra.pix"}));
  EXPECT_EQ(FileBytes("foto.pix"), std::vector<std::uint8_t>{1});
  EXPECT_EQ(FileBytes("otra.dat"), std::vector<std::uint8_t>{4});
}

// A temporary file that another process swept away before its rename.
TEST_F(ImageFilesTest, VanishedTemporaryIsReportedAsSuch) {
  StagedFile staged("foto.pix", ".pix", {1});
  for (const std::string& entry : dir.Entries()) fs::remove(entry);
  try {
    staged.Commit();
    ADD_FAILURE() << "committed";
  } catch (const FileError& error) {
    EXPECT_STREQ(error.what(),
                 "No se ha podido grabar el fichero foto.pix.\n"
                 "El fichero provisional o su carpeta ha desaparecido mientras se grababa.");
  }
}

// Only this machine's temporaries of this program, of processes that are
// gone, are swept; a folder shared with other machines keeps theirs.
TEST_F(ImageFilesTest, SweepRemovesOnlyTemporariesOfEndedProcesses) {
  const auto endedProcess = [] {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return std::to_string(child);
  };
  // .tesvo-HOST-PID-HASH.pix.tmp of this process, taken apart.
  const std::string self = std::to_string(::getpid());
  const std::string own = TemporaryOf("foto.pix", ".pix");
  const std::size_t pidAt = own.rfind("-" + self + "-");
  ASSERT_NE(pidAt, std::string::npos) << own;
  ASSERT_EQ(own.size() - pidAt, self.size() + 2 + 16 + 8) << own;
  const std::string host = own.substr(7, pidAt - 7);
  const auto name = [&](const std::string& host, const std::string& pid, const std::string& tag) {
    return ".tesvo-" + host + "-" + pid + tag + ".tmp";
  };
  const std::string gone = endedProcess();
  // Names with the hash of their target and, from earlier versions, without.
  const std::vector<std::string> swept = {name(host, gone, ".dat"),
                                          name(host, gone, ".pix"),
                                          name(host, gone, ".link"),
                                          name(host, gone, ".png"),
                                          name(host, gone + "-0123456789abcdef", ".pix"),
                                          name(host, gone + "-fedcba9876543210", ".link")};
  std::vector<std::string> kept = {name(host, self, ".dat"),
                                   name(host, self + "-0123456789abcdef", ".dat"),
                                   name(host, gone + "-0123456789abcdeg", ".pix"),
                                   name(host, gone + "-0123456789abcde", ".pix"),
                                   name(host, "1", ".pix"),
                                   name("x" + host, gone, ".pix"),
                                   name(host, gone, ".txt"),
                                   name(host, gone, ""),
                                   name(host, "x" + gone, ".pix"),
                                   name(host, gone, ".pix") + "~",
                                   "tesvo-" + host + "-" + gone + ".pix.tmp",
                                   "foto.dat"};
  for (const std::vector<std::string>& files : {swept, kept})
    for (const std::string& file : files) WriteFileBytes(file, {1});
  kept.push_back(name(host, endedProcess(), ".dat"));  // a folder, which nothing of ours is
  fs::create_directory(kept.back());
  EXPECT_EQ(SweepTemporaryFiles(), 6);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(dir.Entries(), kept);
}

}  // namespace
}  // namespace tesvo

namespace tesvo {
namespace {

// Machines whose names share a long beginning, or differ only in punctuation,
// keep apart: each sweep takes its own machine's temporaries of ended
// processes, never the other's, whatever their process ids.
TEST_F(ImageFilesTest, SweepKeepsTheTemporariesOfAnotherMachine) {
  const std::string id1(32, 'a');
  const std::string id2 = std::string(31, 'a') + 'b';
  const std::string floor = "laboratorio-planta2-edificio-este-puesto";
  struct Case {
    std::string machineId1, host1, machineId2, host2;
  };
  const Case cases[] = {
      {id1, floor + "01", id1, floor + "02"},
      {id1, "pc.a", id1, "pc-a"},
      {id1, "pc_2ea", id1, "pc.a"},
      {"", floor + "01.aula.example", "", floor + "01.aula-example"},
      {id1, "pc", id2, "pc"},
      {id1, "pc", id1, "pc-1"},
      {"", "pc", id1, "pc"},
  };
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  // Ended here, and too large to run anywhere.
  const std::vector<std::string> ended = {std::to_string(child), "4000000"};
  for (const Case& t : cases) {
    SCOPED_TRACE(t.host1 + " / " + t.host2);
    const std::string first = MachineIdentity(t.machineId1, t.host1);
    const std::string second = MachineIdentity(t.machineId2, t.host2);
    ASSERT_NE(first, second);
    std::vector<std::string> kept;
    for (const std::string& pid : ended)
      for (const char* tag : {".pix", ".dat", ".png", ".link"}) {
        WriteFileBytes(".tesvo-" + first + "-" + pid + tag + ".tmp", {1});
        kept.push_back(".tesvo-" + second + "-" + pid + tag + ".tmp");
        WriteFileBytes(kept.back(), {2});
      }
    EXPECT_EQ(SweepTemporaryFiles(".", first), 8);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(dir.Entries(), kept);
    for (const std::string& file : kept) fs::remove(file);
  }
}

// Each way of moving a file to a name without replacing one, as a file
// system that lacks the ones before it would leave it to: a free name takes
// the file, a taken one keeps its own and the temporary goes.
TEST_F(ImageFilesTest, MovingToAFreeNameNeverReplacesAFile) {
  for (NoReplaceStep step :
       {NoReplaceStep::kRenameNoReplace, NoReplaceStep::kHardLink, NoReplaceStep::kLookThenRename}) {
    SCOPED_TRACE(static_cast<int>(step));
    WriteFileBytes("nuevo", {1});
    EXPECT_TRUE(MoveIntoFreePlace("nuevo", "libre.dat", step));
    WriteFileBytes("nuevo", {2});
    EXPECT_FALSE(MoveIntoFreePlace("nuevo", "libre.dat", step));
    EXPECT_EQ(FileBytes("libre.dat"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"libre.dat"});
    fs::remove("libre.dat");
    try {
      MoveIntoFreePlace("nuevo", "libre.dat", step);
      ADD_FAILURE() << "moved a temporary that is not there";
    } catch (const FileError& error) {
      EXPECT_EQ(error.systemError(), kTemporaryGone);
    }
  }
}

// A rebuilt pixel file is written only beside the record it was computed
// from: not once another process has deleted the pair or saved another.
TEST_F(ImageFilesTest, RebuiltPixelFileFollowsItsParameterFile) {
  const ImageRecord record = BuiltInPresets()[2][0];
  ImageRecord other = record;
  other.juliaRe = 1;
  const std::int16_t count = 7;
  EXPECT_FALSE(WritePixelFileOf("foto", record, &count, 1));
  ASSERT_TRUE(WritePair("foto", other, &count, 0));
  EXPECT_FALSE(WritePixelFileOf("foto", record, &count, 1));
  EXPECT_EQ(fs::file_size("foto.pix"), 0u);
  EXPECT_TRUE(WritePixelFileOf("foto", other, &count, 1));
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
    EXPECT_STREQ(error.what(),
                 "No se ha podido leer el fichero enchufe.pix.\n"
                 "No es un fichero de datos sino una tubería, un dispositivo o un socket.");
  }
  ::close(fd);
}

}  // namespace
}  // namespace tesvo
