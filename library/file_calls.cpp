#include "library/file_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace tesvo {

FileChangeHook afterFileChange = nullptr;

namespace file_calls {
namespace {

// Passes a system call's result through, reporting a success.
int Reported(int result, FileChange change, const char* path, const char* target = nullptr) {
  if (result >= 0 && afterFileChange != nullptr) {
    const int error = errno;
    afterFileChange(change, path, target);
    errno = error;
  }
  return result;
}

}  // namespace

int CreateNew(const char* path) {
  return Reported(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644),
                  FileChange::kCreate, path);
}

bool WriteAll(int fd, const char* path, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Reported(0, FileChange::kWrite, path);
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

int Flush(int fd, const char* path) { return Reported(::fsync(fd), FileChange::kFlush, path); }

int FlushFolder(int fd, const char* path) { return Reported(::fsync(fd), FileChange::kFlushFolder, path); }

int Link(const char* from, const char* to) { return Reported(::link(from, to), FileChange::kLink, from, to); }

int Rename(const char* from, const char* to, bool noReplace) {
  const int result =
      noReplace ? ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) : ::rename(from, to);
  return Reported(result, FileChange::kRename, from, to);
}

int Remove(const char* path) { return Reported(::unlink(path), FileChange::kRemove, path); }

}  // namespace file_calls
}  // namespace tesvo
