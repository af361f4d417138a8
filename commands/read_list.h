// The window's "Leer ->" list: the saved images, kept in sorted order.
#pragma once

#include <string>

#include "commands/window.h"

namespace tesvo {

// Inserts name at its sorted place, after any entry that compares equal, and
// returns its index.
int AddSortedEntry(Window& window, const std::string& name);

// Start-up: fills the list with the saved images of the working folder.
void ListSavedImages(Window& window);

}  // namespace tesvo
