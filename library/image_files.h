// The pair of files of a saved image: base + ".dat", the 200-byte record, and
// base + ".pix", the W x H counts as signed 16-bit little-endian values,
// column by column. Names resolve against the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/image_record.h"

namespace tesvo {

std::string ParameterFileName(const std::string& base);
std::string PixelFileName(const std::string& base);

bool ParameterFileExists(const std::string& base);

// A complete file written and flushed under a temporary name of this process
// in the target's folder; Commit renames it over the target, CommitIfFree
// puts it there only where the target does not exist. A staged file that is
// never committed is removed. Throws FileError.
class StagedFile {
 public:
  StagedFile(std::string target, const std::string& tag, const std::vector<std::uint8_t>& bytes);
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  ~StagedFile();
  void Commit();
  // False, the temporary file removed, when the target exists.
  bool CommitIfFree();

 private:
  std::string target_;
  std::string temporary_;  // empty once committed
};

// A file written piece by piece under a temporary name of this process in the
// target's folder, for files too large to hold whole; Commit flushes it to
// disk and renames it over the target. One never committed is removed.
// Throws FileError.
class StreamedFile {
 public:
  StreamedFile(std::string target, const std::string& tag);
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;
  ~StreamedFile();
  void Write(const std::uint8_t* bytes, std::size_t size);
  void Commit();
  // False, the temporary file removed, when the target exists.
  bool CommitIfFree();

 private:
  void Close();

  std::string target_;
  std::string temporary_;  // empty once committed
  int fd_ = -1;
};

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record);
StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);

// The ways of moving a file to a name without replacing what is there, each
// in one step, in the order they are tried: a file system that lacks one goes
// on to the next. The last, a look and then a rename, is two steps, which the
// folder's lock alone keeps together.
enum class NoReplaceStep { kRenameNoReplace, kHardLink, kLookThenRename };

// Moves temporary to file unless file exists: true when moved; false, the
// temporary removed, when file exists. Throws FileError.
bool MoveIntoFreePlace(const std::string& temporary, const std::string& file,
                       NoReplaceStep first = NoReplaceStep::kRenameNoReplace);

enum class PairPlacement { kNewName, kReplace };

// The one way a pair is put in place: the caller holds the folder's lock and
// has staged the pixel file; the parameter file is staged here. The old pixel
// file goes first, then the parameter file takes the name, then the pixel
// file follows, so that an interruption leaves the old or the new parameter
// file, each with its own pixel file or none, which reading rebuilds. A new
// name is claimed in a step that never replaces a file, so that of two
// processes saving one name exactly one gets it: false, with nothing
// changed, when base + ".dat" exists. Throws FileError.
bool PlacePair(const std::string& base, const ImageRecord& record, StagedFile& pixels,
               PairPlacement placement);

// Writes the pixel file under a temporary name in the target folder and puts
// the pair in place as a new name with PlacePair under the folder's lock. A
// failure before that leaves the folder as it was. False when base + ".dat"
// exists. Throws FileError.
bool WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount);

// Replaces base + ".pix", through a temporary file, while base + ".dat" holds
// record; false, with nothing written, when another process has changed or
// removed the pair since it was read. Throws FileError.
bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
                      std::size_t countCount);

// Only regular files are read: a named pipe, a device or a socket under the
// name is refused at once with FileError, never waited on.

// At most the first size bytes of file. Throws FileError when it is missing
// or cannot be read.
std::vector<std::uint8_t> ReadFileStart(const std::string& file, std::size_t size);

// A regular file read from the start piece by piece, for files too large to
// hold whole. Throws FileError.
class FileReader {
 public:
  explicit FileReader(const std::string& file);
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();
  // Up to size bytes; fewer only at the end of the file.
  std::size_t Read(std::uint8_t* data, std::size_t size);
  // Moves size bytes on; false, without moving, where fewer are left.
  bool Skip(std::uint64_t size);

 private:
  std::string file_;
  int fd_;
};

// The record of base + ".dat", its first 200 bytes. Throws FileError when it
// cannot be opened or holds fewer.
ImageRecord ReadParameterFile(const std::string& base);

enum class PixelFileState { kRead, kMissing, kShort };

// Reads exactly countCount counts from base + ".pix" into counts. When the
// file is missing or shorter the buffer is left as it was. Throws FileError
// when it exists but cannot be read.
PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount);

// A file that is already gone is no error; any other failure throws FileError.
void RemoveIfPresent(const std::string& file);

// Puts a file with the contents of `from` in place of `to` in one rename,
// `from` staying as it is: a hard link, or a copy where the file system has
// none. False, with nothing changed, when `from` does not exist. Throws
// FileError.
bool ReplaceWithCopyOf(const std::string& from, const std::string& to);

// Makes the renames in the folder of `file` durable.
void SyncFolderOf(const std::string& file);

// Whose temporary files these are: the machine id (32 hexadecimal digits,
// "x" where there is none), '-', and the whole host name escaped so that no
// two host names give the same text, for containers that share a machine id.
// Temporary names are ".tesvo-IDENTITY-PID-HASH.TAG.tmp", HASH being 16
// hexadecimal digits of the target file's name.
std::string MachineIdentity(const std::string& machineId, const std::string& hostName);

// Start-up: removes the temporary files that processes of this machine
// (identity, by default this one's) no longer running left in folder, and
// nothing else: a folder shared with other machines keeps theirs. Returns how
// many went.
int SweepTemporaryFiles(const std::string& folder = ".");
int SweepTemporaryFiles(const std::string& folder, const std::string& identity);

}  // namespace tesvo
