#include "library/temporary_files.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "library/file_calls.h"

namespace tesvo {
namespace {

constexpr const char* kTemporaryPrefix = ".tesvo-";
constexpr const char* kTemporarySuffix = ".tmp";
// Every tag a temporary name is given: the sweep removes these alone.
constexpr const char* kTemporaryTags[] = {".dat", ".pix", ".link", ".png"};

// The first line of the file when it is a machine id: 32 lower-case
// hexadecimal digits.
std::string ReadMachineId(const char* file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  const bool valid = line.size() == 32 && std::all_of(line.begin(), line.end(), [](char c) {
                       return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                     });
  return valid ? line : std::string();
}

const std::string& OwnIdentity() {
  static const std::string identity = [] {
    std::string machineId = ReadMachineId("/etc/machine-id");
    if (machineId.empty()) machineId = ReadMachineId("/var/lib/dbus/machine-id");
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    return MachineIdentity(machineId, host);
  }();
  return identity;
}

// The start of the temporary names of this machine, up to the process id.
std::string TemporaryStart(const std::string& identity) { return kTemporaryPrefix + identity + "-"; }
std::string TemporaryStart() { return TemporaryStart(OwnIdentity()); }

// 16 hexadecimal digits of the 64-bit FNV-1a hash of name.
std::string NameHash(const std::string& name) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
  return text;
}

// The process of a temporary name of the machine `identity`, or 0 when the
// name is not one of these. Identities hold no '.', and the process id must
// be followed by a tag, at once or after '-' and the hash of the target's
// name, so the name of another machine whose identity begins with this one's
// is never taken for one of its own. Versions before the hash left names
// without it, which are swept all the same.
pid_t TemporaryOwner(const std::string& leaf, const std::string& identity) {
  const std::string start = TemporaryStart(identity);
  if (!leaf.starts_with(start)) return 0;
  pid_t pid = 0;
  std::size_t i = start.size();
  for (; i < leaf.size() && leaf[i] >= '0' && leaf[i] <= '9' && pid < 100000000; ++i)
    pid = pid * 10 + (leaf[i] - '0');
  if (i == start.size()) return 0;
  if (leaf.size() - i > 17 && leaf[i] == '-' &&
      std::all_of(leaf.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                  leaf.begin() + static_cast<std::ptrdiff_t>(i) + 17,
                  [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
    i += 17;
  const std::string rest = leaf.substr(i);
  for (const char* tag : kTemporaryTags)
    if (rest == tag + std::string(kTemporarySuffix)) return pid;
  return 0;
}

}  // namespace

std::string TemporaryName(const std::string& file, const std::string& tag) {
  const std::filesystem::path path(file);
  const std::string leaf = TemporaryStart() + std::to_string(::getpid()) + "-" +
                           NameHash(path.filename().string()) + tag + kTemporarySuffix;
  return (path.parent_path() / leaf).string();
}

std::string MachineIdentity(const std::string& machineId, const std::string& hostName) {
  // Letters, digits and '-' stand for themselves, every other byte is '_'
  // and two hexadecimal digits: "pc.a" and "pc-a" stay apart.
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string identity = machineId.empty() ? "x" : machineId;
  identity += '-';
  for (const char c : hostName) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') {
      identity += c;
    } else {
      identity += '_';
      identity += kDigits[byte >> 4];
      identity += kDigits[byte & 0xF];
    }
  }
  return identity;
}

int SweepTemporaryFiles(const std::string& folder) { return SweepTemporaryFiles(folder, OwnIdentity()); }

int SweepTemporaryFiles(const std::string& folder, const std::string& identity) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const pid_t owner = TemporaryOwner(it->path().filename().string(), identity);
    if (owner <= 0 || owner == ::getpid()) continue;
    // A process that still runs, or one we may not signal, keeps its files.
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
    std::error_code statusError;
    if (!it->is_regular_file(statusError) || it->is_symlink(statusError)) continue;
    if (file_calls::Remove(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace tesvo
