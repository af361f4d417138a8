// The "Leer ->" list of saved images: the .dat files of the working folder,
// kept in the order a sorted list of the desktop shows names, case and
// accents counting only where the letters are otherwise the same.
#pragma once

#include <string>
#include <vector>

namespace tesvo {

// True when a sorts before b in the list. Letters compare without case and
// accents first ("árbol" between "alfa" and "Beta"); then an unaccented letter
// comes before an accented one and lower case before upper case. Symbols sort
// before digits, digits before letters.
bool ListsBefore(const std::string& a, const std::string& b);

// Base names of the files of folder whose names end exactly in ".dat", those
// four characters cut off, in list order.
std::vector<std::string> SavedImageNames(const std::string& folder = ".");

}  // namespace tesvo
