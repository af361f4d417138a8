// Zoom: the part of the plane under a dragged rectangle, computed again at
// full width or full height of the big picture with the aspect kept.
#include <utility>

#include "commands/explorer.h"
#include "navigation/plane_mapping.h"

namespace tesvo {

void Explorer::ZoomToRectangle(ClientPoint press, ClientPoint release) {
  if (!HasImage()) return;
  // A drag towards the left or upwards zooms the same rectangle as the drag
  // the other way; taken as it comes it would mirror the window and could ask
  // for an image larger than the big picture.
  if (release.x < press.x) std::swap(press.x, release.x);
  if (release.y < press.y) std::swap(press.y, release.y);
  const int dx = release.x - press.x;
  const int dy = release.y - press.y;
  if (dx == 0 || dy == 0) return;

  const ImageRecord& full =
      state_.currentImage.kind == kMandelbrotKind ? state_.mandelbrotSlot : state_.juliaSlot;
  ImageRecord zoomed = state_.currentImage;
  const Complex topLeft = MapToPlane(state_.currentImage, press);
  const Complex bottomRight = MapToPlane(state_.currentImage, release);
  zoomed.planeLeft = topLeft.re;
  zoomed.planeTop = topLeft.im;
  zoomed.planeRight = bottomRight.re;
  zoomed.planeBottom = bottomRight.im;
  TakeRectangle(zoomed, full);
  if (dy > dx)
    zoomed.pixelRight = full.pixelLeft + (full.pixelRight - full.pixelLeft) * dx / dy;
  else
    zoomed.pixelBottom = full.pixelTop + (full.pixelBottom - full.pixelTop) * dy / dx;

  ShowNewImage(zoomed);
}

}  // namespace tesvo
