#include "image/DibImagePng.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace vistrel {

namespace {

void WriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<CByteStream*>(png_get_io_ptr(png));
    if (file->Write(data, 1, length) != length) {
        png_error(png, "Write Error");
    }
}

void FlushData(png_structp png) {
    auto* file = static_cast<CByteStream*>(png_get_io_ptr(png));
    if (!file->Flush()) {
        png_error(png, "Flush Error");
    }
}

// Everything a libpng error must release, kept outside the jump's reach.
struct PngCall {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_colorp palette = nullptr;

    ~PngCall() {
        std::free(palette);
        if (png) {
            png_destroy_write_struct(&png, info ? &info : nullptr);
        }
    }
};

} // namespace

bool CDibImagePng::EncodePng(CByteStream* file) {
    if (!file) {
        return false;
    }
    PngCall call;
    // The header's version, not a fixed one: libpng refuses a mismatch.
    call.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!call.png) {
        SetErrorText("Failed to create PNG structure");
        return false;
    }
    call.info = png_create_info_struct(call.png);
    if (!call.info) {
        SetErrorText("Failed to initialize PNG info structure");
        return false;
    }
    const bool indexed = header_.biClrUsed != 0;
    if (indexed) {
        call.palette = static_cast<png_colorp>(std::malloc(sizeof(png_color) * header_.biClrUsed));
    }
    if (indexed && !call.palette) {
        SetErrorText("Error saving PNG file");
        return false;
    }

    if (setjmp(png_jmpbuf(call.png))) {
        SetErrorText("Error saving PNG file");
        return false;
    }
    png_set_write_fn(call.png, file, WriteData, FlushData);

    const uint32_t width = static_cast<uint32_t>(Width());
    const uint32_t height = static_cast<uint32_t>(Height());
    if (indexed) {
        png_set_IHDR(call.png, call.info, width, height, header_.biBitCount, PNG_COLOR_TYPE_PALETTE,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_byte opacity[256];
        int opacityCount = 0;
        // An index outside the palette names no colour and is not written.
        if (info_.transparentIndex >= 0 &&
            static_cast<uint32_t>(info_.transparentIndex) < header_.biClrUsed) {
            opacity[0] = 0;
            opacityCount = 1;
            if (info_.transparentIndex != 0) {
                // The pixels are shared with the image being saved, so it is
                // rewritten too and keeps a consistent transparent index.
                SwapIndex(0, static_cast<uint8_t>(info_.transparentIndex));
                info_.transparentIndex = 0;
                if (info_.borrowedFrom) {
                    info_.borrowedFrom->SetTransparentIndex(0);
                }
            }
        }
        if (info_.alphaPaletteEnabled) {
            for (uint32_t i = 0; i < header_.biClrUsed; ++i) {
                opacity[i] = PaletteEntry(i).rgbReserved;
            }
            opacityCount = static_cast<int>(header_.biClrUsed);
        }
        for (uint32_t i = 0; i < header_.biClrUsed; ++i) {
            const RgbQuad c = PaletteEntry(i);
            call.palette[i].red = c.rgbRed;
            call.palette[i].green = c.rgbGreen;
            call.palette[i].blue = c.rgbBlue;
        }
        png_set_PLTE(call.png, call.info, call.palette, static_cast<int>(header_.biClrUsed));
        if (opacityCount > 0) {
            png_set_tRNS(call.png, call.info, opacity, opacityCount, nullptr);
        }
    } else {
        png_set_IHDR(call.png, call.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    }
    png_write_info(call.png, call.info);

    // Rows go to libpng as they are stored, top row first: libpng copies each
    // into its own buffer, where the blue-red swap of true colour is done.
    if (!indexed) {
        png_set_bgr(call.png);
    }
    for (int32_t y = Height() - 1; y >= 0; --y) {
        png_write_row(call.png, Row(y));
    }
    png_write_end(call.png, call.info);
    return true;
}

} // namespace vistrel
