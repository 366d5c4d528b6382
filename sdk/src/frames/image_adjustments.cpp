#include "frames/image_adjustments.h"

namespace lentra {

bool ImageAdjustments::operator==(const ImageAdjustments& o) const {
    return level == o.level && warmth == o.warmth && brightness == o.brightness && contrast == o.contrast && saturation == o.saturation &&
           gamma == o.gamma && flipHorizontal == o.flipHorizontal &&
           flipVertical == o.flipVertical && specialEffect == o.specialEffect &&
           zoom == o.zoom && pan == o.pan && tilt == o.tilt && jpegQuality == o.jpegQuality;
}

}  // namespace lentra
