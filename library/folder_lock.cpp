#include "library/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "library/file_error.h"

namespace tesvo {

std::chrono::milliseconds folderLockWait{3000};

namespace {

// Opens (creating it where missing) the lock file of folder, or -1. flock
// takes read-only descriptors, but over NFS it becomes a POSIX lock, whose
// exclusive form needs write access: read-only is the second choice, for a
// lock file another user made.
int OpenLockFile(const std::string& lockFile) {
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
  if (fd < 0 && errno == EACCES) fd = ::open(lockFile.c_str(), O_RDONLY | kFlags);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

FolderLock::FolderLock(const std::string& file, Mode mode) {
  std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (folder.empty()) folder = ".";
  const int fd = OpenLockFile((folder / kLockFileName).string());
  if (fd < 0) return;
  const int operation = (mode == Mode::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  const auto deadline = std::chrono::steady_clock::now() + folderLockWait;
  // Held for milliseconds at a time: short naps, growing up to 20 ms, find
  // it free soon after it is let go without spinning.
  auto nap = std::chrono::microseconds(500);
  for (;;) {
    if (::flock(fd, operation) == 0) {
      fd_ = fd;
      return;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) {
      // ENOLCK, EINVAL: this file system keeps no locks.
      ::close(fd);
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      throw FileError(FileStep::kLock, folder.string(), kFolderBusy);
    }
    std::this_thread::sleep_for(nap);
    nap = std::min<std::chrono::microseconds>(nap * 2, std::chrono::milliseconds(20));
  }
}

FolderLock::~FolderLock() {
  // Closing the only descriptor of the open file lets the lock go.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tesvo
