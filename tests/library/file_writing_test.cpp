#include "library/file_writing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/messages.h"
#include "file_helpers.h"
#include "library/file_error.h"
#include "library/image_files.h"
#include "library/temporary_files.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;
using testing::WriteFileBytes;

class FileWritingTest : public ::testing::Test {
 protected:
  void SetUp() override {}

  testing::TemporaryDirectory dir;
};

// A file that is already gone is no error; any other failure is.
TEST_F(FileWritingTest, RemoveAndReplaceReportAllButMissingFiles) {
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
    EXPECT_EQ(FileErrorText(error),
              "No se ha podido copiar el fichero a.dat a carpeta.dat.\nHay una carpeta con ese nombre.");
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"a.dat", "carpeta.dat"}));
}

// The copy keeps the source in place and replaces the target whole: by a hard
// link, or by copying where the two names lie on different file systems.
TEST_F(FileWritingTest, ReplaceWithCopyOfKeepsTheSource) {
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

// The name of a temporary file this process writes for target with tag.
std::string TemporaryOf(const std::string& target, const std::string& tag) {
  const StagedFile staged(target, tag, {1});
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().filename().string().starts_with(".tesvo-")) return entry.path().filename().string();
  return {};
}

// Whatever waits at the temporary name, a named pipe above all, is replaced
// by a new file: the write neither blocks nor goes into something else.
TEST_F(FileWritingTest, WriteReplacesWhateverIsAtItsTemporaryName) {
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
TEST_F(FileWritingTest, EachTargetHasATemporaryOfItsOwn) {
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
TEST_F(FileWritingTest, VanishedTemporaryIsReportedAsSuch) {
  StagedFile staged("foto.pix", ".pix", {1});
  for (const std::string& entry : dir.Entries()) fs::remove(entry);
  try {
    staged.Commit();
    ADD_FAILURE() << "committed";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error),
              "No se ha podido grabar el fichero foto.pix.\n"
              "El fichero provisional o su carpeta ha desaparecido mientras se grababa.");
  }
}

// Only this machine's temporaries of this program, of processes that are
// gone, are swept; a folder shared with other machines keeps theirs.
TEST_F(FileWritingTest, SweepRemovesOnlyTemporariesOfEndedProcesses) {
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

// Machines whose names share a long beginning, or differ only in punctuation,
// keep apart: each sweep takes its own machine's temporaries of ended
// processes, never the other's, whatever their process ids.
TEST_F(FileWritingTest, SweepKeepsTheTemporariesOfAnotherMachine) {
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
TEST_F(FileWritingTest, MovingToAFreeNameNeverReplacesAFile) {
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

}  // namespace
}  // namespace tesvo
