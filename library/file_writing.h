// The file layer's writes. A file is written whole, and flushed, under a
// temporary name of this process in its target's folder, and only then
// renamed into place, so that an interruption leaves the old file or the new
// one and never a part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesvo {

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

// The ways of moving a file to a name without replacing what is there, each
// in one step, in the order they are tried: a file system that lacks one goes
// on to the next. The last, a look and then a rename, is two steps, which the
// folder's lock alone keeps together.
enum class NoReplaceStep { kRenameNoReplace, kHardLink, kLookThenRename };

// Moves temporary to file unless file exists: true when moved; false, the
// temporary removed, when file exists. Throws FileError.
bool MoveIntoFreePlace(const std::string& temporary, const std::string& file,
                       NoReplaceStep first = NoReplaceStep::kRenameNoReplace);

// A file that is already gone is no error; any other failure throws FileError.
void RemoveIfPresent(const std::string& file);

// Puts a file with the contents of `from` in place of `to` in one rename,
// `from` staying as it is: a hard link, or a copy where the file system has
// none. False, with nothing changed, when `from` does not exist. Throws
// FileError.
bool ReplaceWithCopyOf(const std::string& from, const std::string& to);

// Makes the renames in the folder of `file` durable.
void SyncFolderOf(const std::string& file);

}  // namespace tesvo
