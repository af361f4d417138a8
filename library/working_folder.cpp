#include "library/working_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "library/file_error.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;

// The value of XDG_PICTURES_DIR as xdg-user-dirs writes it: a quoted "$HOME"
// followed by the rest of the path, or a quoted absolute path. The file is a
// shell fragment, so a later line overrides an earlier one.
std::optional<fs::path> PicturesFolder(const fs::path& home, const fs::path& configHome) {
  static const std::string kKey = "XDG_PICTURES_DIR=";
  static const std::string kHome = "$HOME";
  std::ifstream in(configHome / "user-dirs.dirs");
  std::optional<fs::path> found;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, kKey.size(), kKey) != 0) continue;
    const std::size_t open = start + kKey.size();
    const std::size_t close = line.find('"', open + 1);
    if (open >= line.size() || line[open] != '"' || close == std::string::npos) continue;
    const std::string value = line.substr(open + 1, close - open - 1);
    if (value.compare(0, kHome.size(), kHome) == 0 &&
        (value.size() == kHome.size() || value[kHome.size()] == '/'))
      found = home / value.substr(std::min(value.size(), kHome.size() + 1));
    else if (!value.empty() && value[0] == '/')
      found = value;
  }
  return found;
}

// Without "." and "..", and without a trailing separator.
fs::path Tidy(const fs::path& folder) {
  fs::path tidy = folder.lexically_normal();
  if (!tidy.has_filename() && tidy != tidy.root_path()) tidy = tidy.parent_path();
  return tidy;
}

std::optional<fs::path> AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return fs::path(value);
}

}  // namespace

fs::path MenuImageFolder(const fs::path& home, const fs::path& configHome) {
  return Tidy(PicturesFolder(home, configHome).value_or(home)) / "Tesvo";
}

std::optional<fs::path> MenuImageFolderFromEnvironment() {
  std::optional<fs::path> home = AbsoluteFromEnvironment("HOME");
  // A session without HOME still has the account's home folder.
  const passwd* account = home ? nullptr : ::getpwuid(::getuid());
  if (account != nullptr && account->pw_dir != nullptr && account->pw_dir[0] == '/') home = account->pw_dir;
  if (!home) return std::nullopt;
  return MenuImageFolder(*home, AbsoluteFromEnvironment("XDG_CONFIG_HOME").value_or(*home / ".config"));
}

void EnterImageFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!error && ::chdir(folder.c_str()) != 0) error.assign(errno, std::generic_category());
  if (error) throw FileError(FileStep::kUseFolder, folder.string(), error.value());
}

}  // namespace tesvo
