// libFuzzer target: the BMP / packed-DIB reader and every writer, with the
// settings taken from the first bytes. GIF output of palette images must
// decode with giflib to exactly the source indices.
//   byte 0: bits 0-1 GIF coder, bits 2-4 format (1 BMP, 2 GIF, 3 JPEG, 4 PNG,
//           others: unknown), bit 5 animation of the image twice, bit 6 a
//           transparent index, bit 7 the alpha palette
//   byte 1: transparent index   byte 2: JPEG quality   byte 3: frame delay
//   then a BMP file ("BM...") or a packed DIB
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "image/DibImage.h"
#include "image/DibImageGif.h"

using namespace vistrel;

namespace {

struct Reader {
    const std::vector<unsigned char>* bytes;
    size_t pos;
};

int Read(GifFileType* gif, GifByteType* buffer, int length) {
    auto* r = static_cast<Reader*>(gif->UserData);
    size_t n = r->bytes->size() - r->pos;
    if (n > static_cast<size_t>(length)) {
        n = static_cast<size_t>(length);
    }
    std::memcpy(buffer, r->bytes->data() + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

// giflib must read our single-image GIF back to the very same indices.
void CheckWithGiflib(CDibImage& image, const std::vector<unsigned char>& bytes) {
    if (image.BitsPerPixel() > 8 || image.Width() == 0 || image.Height() == 0) {
        return;
    }
    Reader reader{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, Read, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount != 1) {
        std::abort();
    }
    const SavedImage& saved = gif->SavedImages[0];
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint8_t got = saved.RasterBits[static_cast<size_t>(y) * image.Width() + x];
            if (got != image.PixelIndexAt(x, image.Height() - 1 - y)) {
                std::abort();
            }
        }
    }
    DGifCloseFile(gif, &error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const uint8_t flags = data[0];
    const uint32_t coder = flags & 3;
    const uint32_t format = (flags >> 2) & 7;
    CDibImage image;
    const uint8_t* dib = data + 4;
    const size_t dibSize = size - 4;
    const bool imported = (dibSize >= 2 && dib[0] == 'B' && dib[1] == 'M')
                              ? image.ImportBmpFile(dib, dibSize)
                              : image.ImportPackedDib(dib, dibSize);
    if (!imported) {
        if (image.HasPixels()) {
            std::abort(); // a failed import leaves the container empty
        }
        return 0;
    }
    image.SetGifCompression(coder);
    image.SetJpegQuality(data[2]);
    image.SetFrameDelay(data[3]);
    if (flags & 0x40) {
        image.SetTransparentIndex(data[1]);
    }
    image.SetAlphaPaletteEnabled((flags & 0x80) != 0);

    CMemoryStream out;
    const bool ok = image.Encode(&out, format);
    if (format == FormatGif && ok && !(flags & 0x40)) {
        CheckWithGiflib(image, out.Data());
    }
    if (flags & 0x20) {
        CDibImage* frames[] = {&image, &image};
        CDibImageGif gif;
        gif.SetLoopCount(data[1]);
        CMemoryStream animation;
        gif.EncodeMultipage(&animation, frames, 2, (flags & 0x10) != 0);
    }
    // A stream that refuses writes part-way must be reported, never crash.
    CMemoryStream full(out.Data().size() / 2);
    image.Encode(&full, format);
    return 0;
}
