#include "frames/image_adjustments.h"

namespace lentra {

bool ImageAdjustments::operator==(const ImageAdjustments& o) const {
    return brightness == o.brightness && contrast == o.contrast && saturation == o.saturation &&
           gamma == o.gamma && flipHorizontal == o.flipHorizontal &&
           flipVertical == o.flipVertical && specialEffect == o.specialEffect &&
           jpegQuality == o.jpegQuality;
}

}  // namespace lentra
