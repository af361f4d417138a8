#include "commands/read_list.h"

#include "library/image_list.h"

namespace tesvo {

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

void ListSavedImages(Window& window) {
  // The index of the image read last stays: it is the explorer's, and a main window opened again
  // lists the same folder, so Borrar and the reading buttons go on from the
  // image read last.
  for (const std::string& name : SavedImageNames()) window.ReadListInsert(window.ReadListCount(), name);
}

}  // namespace tesvo
