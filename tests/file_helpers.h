// What the tests of the file commands need around them: a fresh current
// directory, since every name resolves against it, reading and writing whole
// files, and a disk that fills up.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tesvo::testing {

// The previous directory is restored and the temporary one removed with
// everything in it when the object goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tesvo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::filesystem::filesystem_error("mkdtemp", {});
    path_ = pattern;
    std::filesystem::current_path(path_);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

  // Names of the entries of the directory, sorted, without the lock file
  // that any change makes.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      if (entry.path().filename() != ".tesvo.lock") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Everything written into the named pipe `name` until its writer closes it,
// or what came within `milliseconds` when the writer never does.
inline std::vector<std::uint8_t> ReadPipe(const char* name, int milliseconds) {
  std::vector<std::uint8_t> bytes;
  const int fd = ::open(name, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  pollfd wait{fd, POLLIN, 0};
  while (std::chrono::steady_clock::now() < deadline) {
    if (::poll(&wait, 1, 100) <= 0) continue;
    std::uint8_t block[65536];
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got > 0) bytes.insert(bytes.end(), block, block + got);
    // Before any writer, the end of the pipe reads as nothing too.
    if (got == 0 && !bytes.empty()) break;
    if (got == 0) ::usleep(1000);
  }
  ::close(fd);
  return bytes;
}

// A Unix socket bound to `name`, a file that no open() opens; the descriptor,
// which the caller closes.
inline int MakeSocket(const char* name) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", name);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

// While it lives, no file of the process can grow beyond `bytes`: a write
// past that stores what fits and then fails, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // fail with EFBIG instead of ending the process
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

}  // namespace tesvo::testing
