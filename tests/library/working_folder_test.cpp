// The folder a start from the desktop menu works in, from the user's XDG
// directories, and entering it.
#include "library/working_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

#include "library/file_error.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(WorkingFolder, PicturesFolderOfTheUserDirectoriesPlusTesvo) {
  struct Case {
    const char* userDirs;  // nullptr: no user-dirs.dirs at all
    const char* expected;  // under the home folder, or absolute
  };
  const Case cases[] = {
      {nullptr, "Tesvo"},
      {"XDG_DESKTOP_DIR=\"$HOME/Escritorio\"\nXDG_PICTURES_DIR=\"$HOME/Imágenes\"\n", "Imágenes/Tesvo"},
      {"XDG_PICTURES_DIR=\"/srv/fotos/\"\n", "/srv/fotos/Tesvo"},
      // Set to the home folder itself, as xdg-user-dirs does for a disabled one.
      {"XDG_PICTURES_DIR=\"$HOME/\"\n", "Tesvo"},
      {"XDG_PICTURES_DIR=\"$HOME\"\n", "Tesvo"},
      {"# XDG_PICTURES_DIR=\"$HOME/Fotos\"\nXDG_MUSIC_DIR=\"$HOME/Música\"\n", "Tesvo"},
      {"XDG_PICTURES_DIR=\"Fotos\"\n", "Tesvo"},
      {"XDG_PICTURES_DIR=\"$HOMEFOTOS\"\n", "Tesvo"},
      {"XDG_PICTURES_DIR=\"$HOME/Fotos\"\nXDG_PICTURES_DIR=\"$HOME/Imágenes\"\n", "Imágenes/Tesvo"},
  };
  const testing::TemporaryDirectory dir;
  const fs::path home = dir.path() / "casa";
  const fs::path config = home / ".config";
  fs::create_directories(config);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userDirs ? c.userDirs : "(none)");
    fs::remove(config / "user-dirs.dirs");
    if (c.userDirs) std::ofstream(config / "user-dirs.dirs") << c.userDirs;
    EXPECT_EQ(MenuImageFolder(home, config), home / c.expected);
  }
}

// Some menus start programs without HOME: the account's home folder serves.
TEST(WorkingFolder, AccountsHomeFolderWhereHomeIsUnset) {
  const testing::TemporaryDirectory dir;  // XDG_CONFIG_HOME, with no user-dirs.dirs
  const std::optional<std::string> home = Environment("HOME");
  const std::optional<std::string> config = Environment("XDG_CONFIG_HOME");
  ::unsetenv("HOME");
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  const std::optional<fs::path> folder = MenuImageFolderFromEnvironment();
  for (const auto& [name, value] : {std::pair{"HOME", home}, std::pair{"XDG_CONFIG_HOME", config}})
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  EXPECT_EQ(folder, fs::path(::getpwuid(::getuid())->pw_dir) / "Tesvo");
}

TEST(WorkingFolder, EnteringCreatesTheFolderOrChangesNothing) {
  const testing::TemporaryDirectory dir;
  EnterImageFolder(dir.path() / "Imágenes/Tesvo");
  EXPECT_EQ(fs::current_path(), dir.path() / "Imágenes/Tesvo");
  EnterImageFolder(dir.path() / "Imágenes/Tesvo");  // there already

  std::ofstream(dir.path() / "fichero") << "x";
  EXPECT_THROW(EnterImageFolder(dir.path() / "fichero"), FileError);
  EXPECT_THROW(EnterImageFolder(dir.path() / "fichero/Tesvo"), FileError);
  EXPECT_EQ(fs::current_path(), dir.path() / "Imágenes/Tesvo");
}

}  // namespace
}  // namespace tesvo
