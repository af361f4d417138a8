// Where the images are kept. Started from a terminal the program works in the
// current directory; started from the desktop menu it works in a folder of its
// own, "Tesvo" in the user's pictures folder, never in the home folder itself.
#pragma once

#include <filesystem>
#include <optional>

namespace tesvo {

// The pictures folder of the XDG user directories (XDG_PICTURES_DIR in
// configHome/user-dirs.dirs, "$HOME/..." or absolute) plus "Tesvo"; where it
// is not set, or set to the home folder, home/Tesvo.
std::filesystem::path MenuImageFolder(const std::filesystem::path& home,
                                      const std::filesystem::path& configHome);

// The same from HOME and XDG_CONFIG_HOME (~/.config when unset or relative);
// where HOME is unset or relative, from the account's home folder; nothing
// when neither is absolute.
std::optional<std::filesystem::path> MenuImageFolderFromEnvironment();

// Creates folder with its parents where missing and makes it the current
// directory. Throws FileError.
void EnterImageFolder(const std::filesystem::path& folder);

}  // namespace tesvo
