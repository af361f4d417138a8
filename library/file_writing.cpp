#include "library/file_writing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>
#include <variant>

#include "library/descriptor.h"
#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/file_reading.h"
#include "library/temporary_files.h"

namespace tesvo {
namespace {

// Creates the temporary file of file and returns its descriptor.
int CreateTemporary(const std::string& file, const std::string& temporary) {
  // Left by an earlier process with the same id, or put there by someone
  // else: a named pipe would block the open, so the name is made new.
  if (file_calls::Remove(temporary.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileStep::kWrite, file, errno);
  const int fd = file_calls::CreateNew(temporary.c_str());
  if (fd < 0) {
    const int error = errno;
    // /proc and the like say a new file's name does not exist although its
    // folder does; a folder that was removed has no links left.
    const std::filesystem::path folder = std::filesystem::path(temporary).parent_path();
    struct stat info;
    if (error == ENOENT && ::stat(folder.empty() ? "." : folder.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_nlink > 0)
      throw FileError(FileStep::kWrite, file, kNoFilesHere);
    throw FileError(FileStep::kWrite, file, error);
  }
  return fd;
}

// Writes a complete file under a temporary name and returns that name.
std::string WriteTemporary(const std::string& file, const std::string& tag,
                           const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = TemporaryName(file, tag);
  Descriptor fd(CreateTemporary(file, temporary));
  if (!file_calls::WriteAll(fd.get(), temporary.c_str(), bytes.data(), bytes.size()) ||
      file_calls::Flush(fd.get(), temporary.c_str()) != 0 || ::close(fd.Release()) != 0) {
    const int error = errno;
    file_calls::Remove(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error);
  }
  return temporary;
}

void MoveIntoPlace(const std::string& temporary, const std::string& file) {
  if (file_calls::Rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    file_calls::Remove(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error == ENOENT ? kTemporaryGone : error);
  }
}

// The errors of a file system that does not offer a kind of step at all.
bool Unsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM || error == ENOTTY;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// One try of moving temporary to the free name file: true when moved, false
// when file exists, the error number of any other failure.
using MoveOutcome = std::variant<bool, int>;

MoveOutcome TryMoveIntoFreePlace(const std::string& temporary, const std::string& file, NoReplaceStep step) {
  switch (step) {
    case NoReplaceStep::kRenameNoReplace:
      if (file_calls::Rename(temporary.c_str(), file.c_str(), true) == 0) return true;
      return errno == EEXIST ? MoveOutcome(false) : MoveOutcome(errno);
    case NoReplaceStep::kHardLink:
      if (file_calls::Link(temporary.c_str(), file.c_str()) == 0) {
        file_calls::Remove(temporary.c_str());
        return true;
      }
      // Over NFS a link whose reply was lost is sent again and finds its own
      // file in place.
      if (const int error = errno; error != EEXIST) return error;
      if (!SameFile(temporary, file)) return false;
      file_calls::Remove(temporary.c_str());
      return true;
    case NoReplaceStep::kLookThenRename: {
      // Not one step: only the folder's lock keeps another process out
      // between the look and the rename.
      struct stat info;
      if (::lstat(file.c_str(), &info) == 0) return false;
      if (errno != ENOENT) return errno;
      if (file_calls::Rename(temporary.c_str(), file.c_str()) == 0) return true;
      return errno;
    }
  }
  return EINVAL;
}

}  // namespace

StagedFile::StagedFile(std::string target, const std::string& tag, const std::vector<std::uint8_t>& bytes)
    : target_(std::move(target)), temporary_(WriteTemporary(target_, tag, bytes)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::exchange(other.temporary_, {})) {}

StagedFile::~StagedFile() {
  if (!temporary_.empty()) file_calls::Remove(temporary_.c_str());
}

void StagedFile::Commit() { MoveIntoPlace(std::exchange(temporary_, {}), target_); }

StreamedFile::StreamedFile(std::string target, const std::string& tag)
    : target_(std::move(target)), temporary_(TemporaryName(target_, tag)) {
  fd_ = CreateTemporary(target_, temporary_);
}

StreamedFile::~StreamedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) file_calls::Remove(temporary_.c_str());
}

void StreamedFile::Write(const std::uint8_t* bytes, std::size_t size) {
  if (!file_calls::WriteAll(fd_, temporary_.c_str(), bytes, size))
    throw FileError(FileStep::kWrite, target_, errno);
}

void StreamedFile::Close() {
  const bool flushed = file_calls::Flush(fd_, temporary_.c_str()) == 0;
  const int error = errno;
  const bool closed = ::close(std::exchange(fd_, -1)) == 0;
  if (!flushed || !closed) throw FileError(FileStep::kWrite, target_, flushed ? errno : error);
}

void StreamedFile::Commit() {
  Close();
  MoveIntoPlace(std::exchange(temporary_, {}), target_);
  SyncFolderOf(target_);
}

bool StreamedFile::CommitIfFree() {
  Close();
  const bool moved = MoveIntoFreePlace(std::exchange(temporary_, {}), target_);
  if (moved) SyncFolderOf(target_);
  return moved;
}

bool StagedFile::CommitIfFree() {
  const std::string temporary = std::exchange(temporary_, {});
  return MoveIntoFreePlace(temporary, target_);
}

bool MoveIntoFreePlace(const std::string& temporary, const std::string& file, NoReplaceStep first) {
  int error = 0;
  for (int step = static_cast<int>(first); step <= static_cast<int>(NoReplaceStep::kLookThenRename); ++step) {
    const MoveOutcome outcome = TryMoveIntoFreePlace(temporary, file, static_cast<NoReplaceStep>(step));
    if (const bool* moved = std::get_if<bool>(&outcome)) {
      if (!*moved) file_calls::Remove(temporary.c_str());
      return *moved;
    }
    error = std::get<int>(outcome);
    // A file system without this step tries the next one.
    if (!Unsupported(error)) break;
  }
  file_calls::Remove(temporary.c_str());
  throw FileError(FileStep::kWrite, file, error == ENOENT ? kTemporaryGone : error);
}

void RemoveIfPresent(const std::string& file) {
  if (file_calls::Remove(file.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileStep::kRemove, file, errno);
}

bool ReplaceWithCopyOf(const std::string& from, const std::string& to) {
  struct stat info;
  if (::lstat(from.c_str(), &info) != 0) {
    if (errno == ENOENT) return false;
    throw FileError(FileStep::kCopy, from, errno, to);
  }
  std::string temporary = TemporaryName(to, ".link");
  file_calls::Remove(temporary.c_str());  // left by a process of ours with the same id
  if (file_calls::Link(from.c_str(), temporary.c_str()) != 0) {
    const int error = errno;
    // Gone since the look: the same as not there.
    if (error == ENOENT && ::access(from.c_str(), F_OK) != 0 && errno == ENOENT) return false;
    // File systems without hard links get a copy.
    if (error != EPERM && error != EOPNOTSUPP && error != EXDEV && error != EMLINK && error != ENOSYS)
      throw FileError(FileStep::kCopy, from, error, to);
    temporary = WriteTemporary(to, ".link", ReadWholeFile(from));
  }
  const bool renamed = file_calls::Rename(temporary.c_str(), to.c_str()) == 0;
  const int error = errno;
  // Where `to` was already a link of `from`, rename leaves both names.
  file_calls::Remove(temporary.c_str());
  if (!renamed) throw FileError(FileStep::kCopy, from, error, to);
  return true;
}

void SyncFolderOf(const std::string& file) {
  const std::string parent = std::filesystem::path(file).parent_path().string();
  const std::string folder = parent.empty() ? std::string(".") : parent;
  // What was written is already safe in its files; a folder that cannot be
  // synchronised (some file systems refuse) only loses the renames' order on
  // a power cut, so it is no error.
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) file_calls::FlushFolder(fd.get(), folder.c_str());
}

}  // namespace tesvo
