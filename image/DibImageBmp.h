// BMP writer: the 14-byte file header followed by the packed DIB.
#pragma once

#include "image/DibImage.h"

namespace vistrel {

class CDibImageBmp : public CDibImage {
public:
    CDibImageBmp() : CDibImage(FormatBmp) {}
    bool EncodeBmp(CByteStream* file);
};

} // namespace vistrel
