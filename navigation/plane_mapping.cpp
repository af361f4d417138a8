#include "navigation/plane_mapping.h"

namespace tesvo {

Complex MapToPlane(const ImageRecord& r, ClientPoint p) {
  const double re = (static_cast<double>(p.x - r.pixelLeft) * (r.planeRight - r.planeLeft)) /
                        static_cast<double>(r.pixelRight - r.pixelLeft) +
                    r.planeLeft;
  const double im = r.planeTop - (static_cast<double>(p.y - r.pixelTop) * (r.planeBottom - r.planeTop)) /
                                     static_cast<double>(r.pixelTop - r.pixelBottom);
  return {re, im};
}

}  // namespace tesvo
