// The "Leer ->" list of saved images, kept sorted without regard to case.
#pragma once

#include <string>

#include "engine/window.h"

namespace tesvo {

// True when a sorts before b in the list.
bool ListsBefore(const std::string& a, const std::string& b);

// Inserts name at its sorted place, after any entry that compares equal, and
// returns its index.
int AddSortedEntry(Window& window, const std::string& name);

}  // namespace tesvo
