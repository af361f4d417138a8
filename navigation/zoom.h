// Zoom: the part of the plane under a dragged rectangle, computed again at
// full width or full height of the big picture with the aspect kept.
#pragma once

#include "engine/window.h"
#include "navigation/plane_mapping.h"

namespace tesvo {

// press and release are the corners of the drag in client coordinates, in
// either order. A drag without width or height does nothing.
void ZoomToRectangle(Window& window, ClientPoint press, ClientPoint release);

}  // namespace tesvo
