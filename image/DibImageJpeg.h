// JPEG writer over libjpeg: true colour or grey-ramp palette images.
#pragma once

#include "image/DibImage.h"

namespace vistrel {

class CDibImageJpeg : public CDibImage {
public:
    CDibImageJpeg() : CDibImage(FormatJpeg) {}
    bool EncodeJpeg(CByteStream* file);
};

} // namespace vistrel
