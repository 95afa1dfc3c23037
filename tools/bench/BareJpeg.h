// Bare libjpeg set up as our JPEG writer sets it up (quality 75, 72 dpi), for
// the benchmark and the test that wants the same bytes from both.
#pragma once

// jpeglib.h needs FILE and size_t declared first.
#include <cstddef>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace vistrel::bench {

// Between setting the destination and jpeg_start_compress.
inline void SetOurJpegSettings(jpeg_compress_struct& cinfo, JDIMENSION width, JDIMENSION height,
                               J_COLOR_SPACE rows) {
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = rows;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = 72;
    cinfo.Y_density = 72;
}

} // namespace vistrel::bench
