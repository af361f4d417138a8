#include "library/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "library/file_error.h"

namespace tesvo {
namespace {

// Closes the descriptor on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// In the target's folder, so that the rename stays on one file system, but
// under a short name of its own: a target whose name is near the file
// system's length limit leaves no room for a suffix on that name.
std::string TemporaryName(const std::string& file) {
  const std::filesystem::path path(file);
  const std::string leaf = ".tesvo-" + std::to_string(::getpid()) + path.extension().string() + ".tmp";
  return (path.parent_path() / leaf).string();
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
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

// Writes a complete file under a temporary name and returns that name.
std::string WriteTemporary(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = TemporaryName(file);
  Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) throw FileError(FileStep::kWrite, file, errno);
  if (!WriteAll(fd.get(), bytes.data(), bytes.size()) || ::fsync(fd.get()) != 0 ||
      ::close(fd.Release()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error);
  }
  return temporary;
}

void MoveIntoPlace(const std::string& temporary, const std::string& file) {
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error);
  }
}

std::vector<std::uint8_t> PixelBytes(const std::int16_t* counts, std::size_t countCount) {
  std::vector<std::uint8_t> pixels(2 * countCount);
  for (std::size_t i = 0; i < countCount; ++i) {
    const auto value = static_cast<std::uint16_t>(counts[i]);
    pixels[2 * i] = static_cast<std::uint8_t>(value);
    pixels[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return pixels;
}

}  // namespace

std::string ParameterFileName(const std::string& base) { return base + ".dat"; }
std::string PixelFileName(const std::string& base) { return base + ".pix"; }

bool ParameterFileExists(const std::string& base) {
  struct stat info;
  return ::stat(ParameterFileName(base).c_str(), &info) == 0;
}

void WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount) {
  const std::string datName = ParameterFileName(base);
  const std::string pixName = PixelFileName(base);

  const std::vector<std::uint8_t> pixels = PixelBytes(counts, countCount);
  const RecordBytes recordBytes = ToBytes(record);
  const std::vector<std::uint8_t> parameters(recordBytes.begin(), recordBytes.end());

  const std::string pixTemporary = WriteTemporary(pixName, pixels);
  std::string datTemporary;
  try {
    datTemporary = WriteTemporary(datName, parameters);
  } catch (const FileError&) {
    ::unlink(pixTemporary.c_str());
    throw;
  }
  // The pixel file goes first: a new .pix beside no .dat is harmless, whereas
  // a new .dat beside an old .pix would show another image's counts.
  try {
    MoveIntoPlace(pixTemporary, pixName);
  } catch (const FileError&) {
    ::unlink(datTemporary.c_str());
    throw;
  }
  MoveIntoPlace(datTemporary, datName);
}

void WritePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  WriteFileAtomically(PixelFileName(base), PixelBytes(counts, countCount));
}

void WriteFileAtomically(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  MoveIntoPlace(WriteTemporary(file, bytes), file);
}

ImageRecord ReadParameterFile(const std::string& base) {
  const std::string file = ParameterFileName(base);
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw FileError(FileStep::kRead, file, errno);
  RecordBytes bytes{};
  bool failed = false;
  const std::size_t got = ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed);
  if (failed) throw FileError(FileStep::kRead, file, errno);
  // Whatever follows the record is not read, as it never was.
  if (got != bytes.size()) throw FileError(FileStep::kRead, file, kWrongSize);
  return FromBytes(bytes);
}

bool ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount) {
  const std::string file = PixelFileName(base);
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return false;
    throw FileError(FileStep::kRead, file, errno);
  }
  std::vector<std::uint8_t> bytes(2 * countCount);
  bool failed = false;
  const std::size_t got = ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed);
  if (failed) throw FileError(FileStep::kRead, file, errno);
  if (got != bytes.size()) return false;
  for (std::size_t i = 0; i < countCount; ++i)
    counts[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  return true;
}

void RemoveIfPresent(const std::string& file) {
  if (::unlink(file.c_str()) != 0 && errno != ENOENT) throw FileError(FileStep::kRemove, file, errno);
}

void RenameIfPresent(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileStep::kRename, from, errno, to);
}

}  // namespace tesvo
