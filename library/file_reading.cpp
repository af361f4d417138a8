#include "library/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "library/descriptor.h"
#include "library/file_error.h"

namespace tesvo {
namespace {

// Opens an existing file for reading without ever blocking: a named pipe
// would wait in open() for a writer. Anything but a regular file is refused
// with FileError; a missing file gives -1 with errno ENOENT.
int OpenRegularFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return -1;
    throw FileError(FileStep::kRead, file, errno);
  }
  struct stat info;
  int error = 0;
  if (::fstat(fd, &info) != 0)
    error = errno;
  else if (!S_ISREG(info.st_mode))
    error = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFile;
  if (error != 0) {
    ::close(fd);
    throw FileError(FileStep::kRead, file, error);
  }
  return fd;
}

// Returns the number of bytes read before end of file.
std::size_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size, bool& failed) {
  std::size_t total = 0;
  failed = false;
  while (total < size) {
    const ssize_t got = ::read(fd, data + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileStartIfPresent(const std::string& file, std::size_t size) {
  Descriptor fd(OpenRegularFile(file));
  if (fd.get() < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(size);
  bool failed = false;
  bytes.resize(ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed));
  if (failed) throw FileError(FileStep::kRead, file, errno);
  return bytes;
}

std::vector<std::uint8_t> ReadFileStart(const std::string& file, std::size_t size) {
  std::optional<std::vector<std::uint8_t>> bytes = ReadFileStartIfPresent(file, size);
  if (!bytes) throw FileError(FileStep::kRead, file, ENOENT);
  return std::move(*bytes);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& file) {
  Descriptor fd(OpenRegularFile(file));
  if (fd.get() < 0) throw FileError(FileStep::kRead, file, ENOENT);
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[65536];
  for (;;) {
    bool failed = false;
    const std::size_t got = ReadUpTo(fd.get(), block, sizeof block, failed);
    if (failed) throw FileError(FileStep::kRead, file, errno);
    bytes.insert(bytes.end(), block, block + got);
    if (got < sizeof block) return bytes;
  }
}

FileReader::FileReader(const std::string& file) : file_(file), fd_(OpenRegularFile(file)) {
  if (fd_ < 0) throw FileError(FileStep::kRead, file, ENOENT);
}

FileReader::~FileReader() { ::close(fd_); }

std::size_t FileReader::Read(std::uint8_t* data, std::size_t size) {
  bool failed = false;
  const std::size_t got = ReadUpTo(fd_, data, size, failed);
  if (failed) throw FileError(FileStep::kRead, file_, errno);
  return got;
}

bool FileReader::Skip(std::uint64_t size) {
  struct stat info;
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::fstat(fd_, &info) != 0) throw FileError(FileStep::kRead, file_, errno);
  if (size > static_cast<std::uint64_t>(info.st_size - at)) return false;
  if (::lseek(fd_, static_cast<off_t>(size), SEEK_CUR) < 0) throw FileError(FileStep::kRead, file_, errno);
  return true;
}

}  // namespace tesvo
