// The folder a start from the desktop menu works in, from the user's XDG
// directories, and entering it.
#include "library/working_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "library/file_error.h"
#include "tests/file_helpers.h"

namespace tesvo {
namespace {

namespace fs = std::filesystem;

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
