#include "library/image_list.h"

#include <algorithm>
#include <cctype>

namespace tesvo {

bool ListsBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

int AddSortedEntry(Window& window, const std::string& name) {
  int low = 0;
  int high = window.ReadListCount();
  while (low < high) {
    const int middle = (low + high) / 2;
    if (ListsBefore(name, window.ReadListText(middle)))
      high = middle;
    else
      low = middle + 1;
  }
  window.ReadListInsert(low, name);
  return low;
}

}  // namespace tesvo
