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
// in the target's folder; Commit renames it over the target. A staged file
// that is never committed is removed. Throws FileError.
class StagedFile {
 public:
  StagedFile(std::string target, const std::string& tag, const std::vector<std::uint8_t>& bytes);
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  ~StagedFile();
  void Commit();

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

 private:
  std::string target_;
  std::string temporary_;  // empty once committed
  int fd_ = -1;
};

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record);
StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);

// Writes both files under temporary names in the target folder and renames
// them into place, the pixel file first. Meant for a name without a .dat: a
// failure before the first rename leaves the folder as it was, one between
// the renames leaves the new .pix and no .dat. Where a .dat exists, that
// second failure would leave it beside another image's .pix. Throws FileError.
void WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount);

// Replaces base + ".pix" alone, through a temporary file as WritePair does.
// Throws FileError.
void WritePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount);

// Replaces file with bytes through a temporary file in its folder, flushed to
// disk before the rename. Throws FileError.
void WriteFileAtomically(const std::string& file, const std::vector<std::uint8_t>& bytes);

// Only regular files are read: a named pipe, a device or a socket under the
// name is refused at once with FileError, never waited on.

// At most the first size bytes of file. Throws FileError when it is missing
// or cannot be read.
std::vector<std::uint8_t> ReadFileStart(const std::string& file, std::size_t size);

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

// Start-up: removes the temporary files that processes of this machine no
// longer running left in folder, and nothing else: a folder shared with other
// machines keeps theirs. Returns how many went.
int SweepTemporaryFiles(const std::string& folder = ".");

}  // namespace tesvo
