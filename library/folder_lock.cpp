#include "library/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "library/file_error.h"

namespace tesvo {

std::chrono::milliseconds folderLockWait{3000};

namespace {

// What is wrong with the lock files met so far: each folder's is told once.
struct LockNotices {
  std::mutex mutex;
  std::set<std::string> told;
  std::vector<LockNotice> pending;
};

LockNotices& Notices() {
  static LockNotices notices;
  return notices;
}

void Notice(const std::string& folder, int error) {
  LockNotices& notices = Notices();
  const std::lock_guard guard(notices.mutex);
  if (notices.told.insert(folder).second) notices.pending.push_back({folder, error});
}

// Opens (creating it where missing) the lock file, never through a link and
// never anything but a regular file. flock takes read-only descriptors, but
// over NFS it becomes a POSIX lock, whose exclusive form needs write access:
// read-only is the second choice, for a lock file another user made. -1 with
// the reason in `error`: 0 where there is simply none and the folder cannot
// take one (read-only, missing), which is no fault of the lock file.
int OpenLockFile(const std::string& lockFile, int& error) {
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
  if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = ::open(lockFile.c_str(), O_RDONLY | kFlags);
  if (fd < 0) {
    error = errno;
    struct stat info;
    // A dangling link also fails with ELOOP; a missing file in a folder that
    // takes no new one is no fault.
    if (error != ELOOP && ::lstat(lockFile.c_str(), &info) != 0) error = 0;
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFile;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::optional<LockNotice> TakeLockNotice() {
  LockNotices& notices = Notices();
  const std::lock_guard guard(notices.mutex);
  if (notices.pending.empty()) return std::nullopt;
  LockNotice notice = notices.pending.front();
  notices.pending.erase(notices.pending.begin());
  return notice;
}

FolderLock::FolderLock(const std::string& file, Mode mode) {
  std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (folder.empty()) folder = ".";
  int error = 0;
  int fd = OpenLockFile((folder / kLockFileName).string(), error);
  if (fd < 0) {
    if (error != 0) Notice(folder.string(), error);
    // Every process that finds the lock file unusable locks the folder
    // itself instead, which flock allows on a folder opened for reading.
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
  }
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
    const int lockError = errno;
    if (lockError == EINTR) continue;
    if (lockError != EWOULDBLOCK) {
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
