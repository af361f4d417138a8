// Zoom: the part of the plane under a dragged rectangle, computed again at
// full width or full height of the big picture with the aspect kept.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "commands/explorer.h"
#include "commands/messages.h"
#include "engine/deep_image.h"
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
  const ImageRecord& current = state_.currentImage;
  ImageRecord zoomed = current;
  const Complex topLeft = MapToPlane(current, press);
  const Complex bottomRight = MapToPlane(current, release);
  zoomed.planeLeft = topLeft.re;
  zoomed.planeTop = topLeft.im;
  zoomed.planeRight = bottomRight.re;
  zoomed.planeBottom = bottomRight.im;
  TakeRectangle(zoomed, full);
  if (dy > dx)
    zoomed.pixelRight = full.pixelLeft + (full.pixelRight - full.pixelLeft) * dx / dy;
  else
    zoomed.pixelBottom = full.pixelTop + (full.pixelBottom - full.pixelTop) * dy / dx;
  if (!IsDeep() && DoublesResolve(zoomed)) return ShowNewImage(zoomed);

  // Past the wall: the window is computed again from the exact place of the
  // current image, or from its window of doubles, and counted by the deep
  // engine.
  if (current.kind != kMandelbrotKind || !DeepFormulaSupported(current.formulaLetter)) {
    window_->ShowMessage(
        "Esta imagen no se puede ampliar más: los números de doble precisión ya no distinguen sus píxeles, y "
        "solo las imágenes de Mandelbrot de z^2, z^4 y z^4+z^3 se calculan a más profundidad.",
        kProgramName);
    return;
  }
  if (!DeepMethodSupported(current.coloringMethod)) {
    window_->ShowMessage(std::string("Esta imagen no se puede ampliar más en el modo «") +
                             kModeNames[static_cast<std::size_t>(current.coloringMethod)] +
                             "»: a esta profundidad se calcula en los modos «tiempo de escape», "
                             "«convergencia» y «descomposición».",
                         kProgramName);
    return;
  }
  const auto x = [&](int client) { return static_cast<double>(client - current.pixelLeft); };
  const auto y = [&](int client) { return static_cast<double>(client - current.pixelTop); };
  const DeepPlace place =
      PlaceOfRectangle(current, state_.deepPlace, x(press.x), y(press.y), x(release.x), y(release.y));
  // The limit as the shallow scan takes it: a halved one counts whole steps.
  zoomed.iterationLimit = std::max(std::floor(zoomed.iterationLimit), 1.0);
  SetNearestCorners(zoomed, place);
  ShowNewDeepImage(zoomed, place);
}

}  // namespace tesvo
