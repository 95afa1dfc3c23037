#include "TestImages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <gif_lib.h>
#include <png.h>
extern "C" {
#include <jpeglib.h>
}
#include <csetjmp>
#include <unistd.h>

namespace vistrel::test {

void FillImage(CDibImage& image, int32_t width, int32_t height, int bits, Pattern pattern, uint32_t seed) {
    if (!image.AllocateDib(width, height, bits, FormatBmp)) {
        throw std::runtime_error("AllocateDib failed");
    }
    Random random(seed);
    const uint32_t colours = image.ColourCount();
    for (uint32_t i = 0; i < colours; ++i) {
        // Distinct entries, so an index error shows as a colour error.
        const uint32_t r = random.Next();
        image.SetPaletteEntry(
            i, RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8), 0});
    }
    const uint32_t levels = colours ? colours : 256;
    uint32_t run = 0, value = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v[3] = {0, 0, 0};
            switch (pattern) {
            case Pattern::Noise:
                for (uint32_t& c : v) {
                    c = random.Next() % levels;
                }
                break;
            case Pattern::Runs:
                if (run == 0) {
                    run = 1 + random.Next() % 300;
                    value = random.Next();
                }
                --run;
                v[0] = value % levels;
                v[1] = (value >> 8) % levels;
                v[2] = (value >> 16) % levels;
                break;
            case Pattern::Gradient:
                v[0] = static_cast<uint32_t>(x + y) % levels;
                v[1] = static_cast<uint32_t>(x * 3) % levels;
                v[2] = static_cast<uint32_t>(y * 5) % levels;
                break;
            }
            if (colours) {
                image.SetPixelIndexAt(x, y, static_cast<uint8_t>(v[0]));
            } else {
                uint8_t* p = image.Row(y) + 3 * x;
                p[0] = static_cast<uint8_t>(v[0]);
                p[1] = static_cast<uint8_t>(v[1]);
                p[2] = static_cast<uint8_t>(v[2]);
            }
        }
    }
}

std::vector<uint8_t> ExpectedRgb(const CDibImage& image) {
    std::vector<uint8_t> rgb;
    for (int32_t y = image.Height() - 1; y >= 0; --y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const RgbQuad c = image.PixelColourAt(x, y);
            rgb.push_back(c.rgbRed);
            rgb.push_back(c.rgbGreen);
            rgb.push_back(c.rgbBlue);
        }
    }
    return rgb;
}

std::vector<uint8_t> ExpectedIndices(const CDibImage& image) {
    std::vector<uint8_t> indices;
    for (int32_t y = image.Height() - 1; y >= 0; --y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            indices.push_back(image.PixelIndexAt(x, y));
        }
    }
    return indices;
}

namespace {

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

std::string GifError(int code) {
    const char* text = GifErrorString(code);
    return "giflib error " + std::to_string(code) + (text ? std::string(": ") + text : std::string());
}

int GifRead(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t left = reader->bytes->size() - reader->pos;
    const size_t n = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
    std::memcpy(buffer, reader->bytes->data() + reader->pos, n);
    reader->pos += n;
    return static_cast<int>(n);
}

void ReadExtensions(DecodedGif& out, DecodedGifFrame* frame, int count, ExtensionBlock* blocks) {
    for (int i = 0; i < count; ++i) {
        const ExtensionBlock& b = blocks[i];
        if (b.Function == GRAPHICS_EXT_FUNC_CODE && frame && b.ByteCount == 4) {
            GraphicsControlBlock gcb;
            DGifExtensionToGCB(b.ByteCount, b.Bytes, &gcb);
            frame->delay = gcb.DelayTime;
            frame->transparent = gcb.TransparentColor;
            frame->disposal = gcb.DisposalMode;
        } else if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                   std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && i + 1 < count &&
                   blocks[i + 1].ByteCount == 3 && blocks[i + 1].Bytes[0] == 1) {
            out.loopCount = blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
        } else if (b.Function == COMMENT_EXT_FUNC_CODE) {
            out.comment.append(reinterpret_cast<const char*>(b.Bytes), static_cast<size_t>(b.ByteCount));
        }
    }
}

} // namespace

DecodedGif DecodeGifWithGiflib(const std::vector<uint8_t>& bytes) {
    DecodedGif out;
    MemoryReader reader{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GifRead, &error);
    if (!gif) {
        out.error = GifError(error);
        return out;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        out.error = GifError(gif->Error);
        DGifCloseFile(gif, &error);
        return out;
    }
    out.screenWidth = gif->SWidth;
    out.screenHeight = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        DecodedGifFrame frame;
        frame.left = saved.ImageDesc.Left;
        frame.top = saved.ImageDesc.Top;
        frame.width = saved.ImageDesc.Width;
        frame.height = saved.ImageDesc.Height;
        const size_t n = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
        if (n) {
            frame.indices.assign(saved.RasterBits, saved.RasterBits + n);
        }
        const ColorMapObject* map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
        if (map) {
            for (int c = 0; c < map->ColorCount; ++c) {
                frame.palette.push_back(map->Colors[c].Red);
                frame.palette.push_back(map->Colors[c].Green);
                frame.palette.push_back(map->Colors[c].Blue);
            }
        }
        ReadExtensions(out, &frame, saved.ExtensionBlockCount, saved.ExtensionBlocks);
        out.frames.push_back(std::move(frame));
    }
    ReadExtensions(out, nullptr, gif->ExtensionBlockCount, gif->ExtensionBlocks);
    DGifCloseFile(gif, &error);
    out.ok = true;
    return out;
}

std::vector<uint8_t> ComposeGif(const DecodedGif& gif, int last) {
    std::vector<uint8_t> screen(static_cast<size_t>(gif.screenWidth) * gif.screenHeight * 3, 0);
    const DecodedGifFrame* previous = nullptr;
    int n = 0;
    for (const DecodedGifFrame& f : gif.frames) {
        if (last >= 0 && n++ > last) {
            break;
        }
        for (int y = 0; previous && previous->disposal == 2 && y < previous->height; ++y) {
            for (int x = 0; x < previous->width; ++x) {
                const int sx = previous->left + x, sy = previous->top + y;
                if (sx < gif.screenWidth && sy < gif.screenHeight) {
                    std::fill_n(screen.begin() + (static_cast<long>(sy) * gif.screenWidth + sx) * 3, 3, 0);
                }
            }
        }
        previous = &f;
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) {
                const int sx = f.left + x, sy = f.top + y;
                const uint8_t index = f.indices[static_cast<size_t>(y) * f.width + x];
                if (sx >= gif.screenWidth || sy >= gif.screenHeight || index == f.transparent) {
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const size_t p = 3u * index + c;
                    screen[(static_cast<size_t>(sy) * gif.screenWidth + sx) * 3 + c] =
                        p < f.palette.size() ? f.palette[p] : 0;
                }
            }
        }
    }
    return screen;
}

namespace {

void PngReadData(png_structp png, png_bytep data, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->bytes->size() - reader->pos < length) {
        png_error(png, "truncated");
    }
    std::memcpy(data, reader->bytes->data() + reader->pos, length);
    reader->pos += length;
}

void PngErrorFn(png_structp png, png_const_charp message) {
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

} // namespace

DecodedPng DecodePngWithLibpng(const std::vector<uint8_t>& bytes) {
    DecodedPng out;
    MemoryReader reader{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &out.error, PngErrorFn, PngWarningFn);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        out.ok = false;
        return out;
    }
    png_set_read_fn(png, &reader, PngReadData);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colourType = png_get_color_type(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries)) {
        out.paletteEntries = entries;
    }
    png_bytep trans = nullptr;
    int transCount = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_get_tRNS(png, info, &trans, &transCount, nullptr);
        out.transparencyEntries = transCount;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    out.rgb.resize(rowBytes * out.height);
    for (uint32_t y = 0; y < out.height; ++y) {
        rows.push_back(out.rgb.data() + y * rowBytes);
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    out.ok = rowBytes == 3u * out.width;
    if (!out.ok) {
        out.error = "unexpected row size";
    }
    return out;
}

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* trap = reinterpret_cast<JpegErrorTrap*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, trap->message);
    std::longjmp(trap->jump, 1);
}

} // namespace

DecodedJpeg DecodeJpegWithLibjpeg(const std::vector<uint8_t>& bytes) {
    DecodedJpeg out;
    jpeg_decompress_struct cinfo;
    JpegErrorTrap trap;
    cinfo.err = jpeg_std_error(&trap.pub);
    trap.pub.error_exit = JpegErrorExit;
    if (setjmp(trap.jump)) {
        out.error = trap.message;
        jpeg_destroy_decompress(&cinfo);
        return out;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.width = cinfo.image_width;
    out.height = cinfo.image_height;
    out.components = cinfo.num_components;
    out.jfif = cinfo.saw_JFIF_marker;
    out.densityUnit = cinfo.density_unit;
    out.xDensity = cinfo.X_density;
    out.yDensity = cinfo.Y_density;
    if (cinfo.quant_tbl_ptrs[0]) {
        out.lumaQuant.assign(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + 64);
    }
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    out.pixels.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out.ok = true;
    return out;
}

std::vector<uint16_t> ReferenceLumaQuant(int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    std::vector<uint16_t> table(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + 64);
    jpeg_destroy_compress(&cinfo);
    return table;
}

std::vector<uint8_t> Encoded(CDibImage& image, uint32_t format, bool* ok) {
    CMemoryStream stream;
    const bool result = image.Encode(&stream, format);
    if (ok) {
        *ok = result;
    }
    return stream.Data();
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

std::string TempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/vistrel-" + std::to_string(getpid()) + "-" + name;
}

} // namespace vistrel::test
