// PNG writer over libpng: palette images as colour type 3, true colour as 2.
#pragma once

#include "image/DibImage.h"

namespace vistrel {

class CDibImagePng : public CDibImage {
public:
    CDibImagePng() : CDibImage(FormatPng) {}
    bool EncodePng(CByteStream* file);
};

} // namespace vistrel
