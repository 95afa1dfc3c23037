// PNG and JPEG files: colour types, palette and transparency chunks, the
// JFIF density and quality, and the error texts, read back with libpng and
// libjpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestImages.h"
#include "image/DibImage.h"
#include "tools/bench/BareJpeg.h"
#include "tools/bench/BenchPictures.h"

using namespace vistrel;
using namespace vistrel::test;

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> PngChunks(const Bytes& bytes) {
    std::vector<std::string> chunks;
    size_t at = 8;
    while (at + 8 <= bytes.size()) {
        const uint32_t length =
            (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
        chunks.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        at += 12 + length;
    }
    return chunks;
}

// Bare libjpeg with our settings, fed rows it swapped to red-green-blue itself.
Bytes BareLibjpeg(const CDibImage& image) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    bench::SetOurJpegSettings(cinfo, static_cast<JDIMENSION>(image.Width()),
                              static_cast<JDIMENSION>(image.Height()), JCS_RGB);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes rgb(static_cast<size_t>(image.Width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* s = image.Row(image.Height() - 1 - static_cast<int32_t>(cinfo.next_scanline));
        for (size_t x = 0; x < rgb.size(); x += 3) {
            rgb[x] = s[x + 2];
            rgb[x + 1] = s[x + 1];
            rgb[x + 2] = s[x];
        }
        JSAMPROW row = rgb.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

} // namespace

TEST(Png, OnePixelTrueColourIsRgb) {
    CDibImage image;
    ASSERT_TRUE(image.AllocateDib(1, 1, 24, FormatBmp));
    image.Row(0)[0] = 0x11; // blue
    image.Row(0)[1] = 0x22;
    image.Row(0)[2] = 0x33; // red
    bool ok = false;
    const Bytes bytes = Encoded(image, FormatPng, &ok);
    ASSERT_TRUE(ok);
    const DecodedPng png = DecodePngWithLibpng(bytes);
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colourType, 2);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.rgb, (Bytes{0x33, 0x22, 0x11}));
    // No gamma, resolution, time or text chunks.
    EXPECT_EQ(PngChunks(bytes), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(Png, PaletteImageHasFullPlteAndNoTrns) {
    CDibImage image;
    FillImage(image, 7, 5, 8, Pattern::Noise, 2);
    const Bytes bytes = Encoded(image, FormatPng);
    const DecodedPng png = DecodePngWithLibpng(bytes);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colourType, 3);
    EXPECT_EQ(png.paletteEntries, 256);
    EXPECT_EQ(png.transparencyEntries, -1);
    EXPECT_EQ(PngChunks(bytes), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    EXPECT_EQ(png.rgb, ExpectedRgb(image));
}

TEST(Png, TransparentIndexBecomesEntryZero) {
    CDibImage image;
    FillImage(image, 6, 4, 8, Pattern::Noise, 3);
    image.SetPixelIndexAt(0, 0, 5);
    image.SetPixelIndexAt(1, 0, 0);
    const RgbQuad five = image.PaletteEntry(5);
    const Bytes colours = ExpectedRgb(image);
    image.SetTransparentIndex(5);
    const Bytes bytes = Encoded(image, FormatPng);
    const DecodedPng png = DecodePngWithLibpng(bytes);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.transparencyEntries, 1);
    EXPECT_EQ(png.rgb, colours); // same picture, entries swapped
    // The saved image was rewritten with it.
    EXPECT_EQ(image.Info().transparentIndex, 0);
    EXPECT_EQ(image.PaletteEntry(0), five);
    EXPECT_EQ(image.PixelIndexAt(0, 0), 0);
    EXPECT_EQ(image.PixelIndexAt(1, 0), 5);
}

TEST(Png, AlphaPaletteGivesOneOpacityPerEntry) {
    CDibImage image;
    FillImage(image, 3, 3, 4, Pattern::Noise, 4);
    image.SetAlphaPaletteEnabled(true);
    const DecodedPng png = DecodePngWithLibpng(Encoded(image, FormatPng));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.bitDepth, 4);
    EXPECT_EQ(png.paletteEntries, 16);
    EXPECT_EQ(png.transparencyEntries, 16);
}

TEST(Png, ErrorTexts) {
    CDibImage image;
    FillImage(image, 64, 64, 24, Pattern::Noise, 5);
    CMemoryStream full(50);
    EXPECT_FALSE(image.Encode(&full, FormatPng));
    EXPECT_STREQ(image.LastError(), "Error saving PNG file");
    CDibImage empty;
    CMemoryStream stream;
    EXPECT_FALSE(empty.Encode(&stream, FormatPng));
    EXPECT_STREQ(empty.LastError(), "Error saving PNG file");
}

TEST(Jpeg, DensityAndQualityDefaults) {
    CDibImage image;
    FillImage(image, 32, 24, 24, Pattern::Gradient, 6);
    bool ok = false;
    const Bytes bytes = Encoded(image, FormatJpeg, &ok);
    ASSERT_TRUE(ok) << image.LastError();
    const DecodedJpeg jpeg = DecodeJpegWithLibjpeg(bytes);
    ASSERT_TRUE(jpeg.ok) << jpeg.error;
    EXPECT_TRUE(jpeg.jfif);
    EXPECT_EQ(jpeg.densityUnit, 1);
    EXPECT_EQ(jpeg.xDensity, 72);
    EXPECT_EQ(jpeg.yDensity, 72);
    EXPECT_EQ(jpeg.components, 3);
    EXPECT_EQ(jpeg.lumaQuant, ReferenceLumaQuant(75));
    EXPECT_NE(jpeg.lumaQuant, ReferenceLumaQuant(90));

    image.SetXDpi(96);
    image.SetYDpi(150);
    image.SetJpegQuality(40);
    const DecodedJpeg changed = DecodeJpegWithLibjpeg(Encoded(image, FormatJpeg));
    ASSERT_TRUE(changed.ok);
    EXPECT_EQ(changed.xDensity, 96);
    EXPECT_EQ(changed.yDensity, 150);
    EXPECT_EQ(changed.lumaQuant, ReferenceLumaQuant(40));
}

TEST(Jpeg, GreyRampIsOneComponentOtherPalettesAreRefused) {
    CDibImage image;
    FillImage(image, 9, 9, 8, Pattern::Gradient, 7);
    CMemoryStream refused;
    EXPECT_FALSE(image.Encode(&refused, FormatJpeg));
    EXPECT_STREQ(image.LastError(), "JPEG can save only RGB or GreyScale images");
    EXPECT_TRUE(refused.Data().empty());

    for (uint32_t i = 0; i < 256; ++i) {
        image.SetPaletteEntry(i, RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    }
    const DecodedJpeg jpeg = DecodeJpegWithLibjpeg(Encoded(image, FormatJpeg));
    ASSERT_TRUE(jpeg.ok) << jpeg.error;
    EXPECT_EQ(jpeg.components, 1);
}

TEST(Jpeg, RefusedWritesGiveLibjpegText) {
    CDibImage image;
    FillImage(image, 200, 200, 24, Pattern::Noise, 8);
    for (size_t limit : {size_t(0), size_t(100), size_t(5000)}) {
        CMemoryStream full(limit);
        EXPECT_FALSE(image.Encode(&full, FormatJpeg)) << limit;
        EXPECT_STREQ(image.LastError(), "Output file write error --- out of disk space?") << limit;
    }
}

TEST(Png, TransparentIndexOutsideThePaletteIsIgnored) {
    CDibImage image;
    FillImage(image, 5, 5, 4, Pattern::Noise, 9);
    const Bytes colours = ExpectedRgb(image);
    image.SetTransparentIndex(20); // a 4-bit image has 16 entries
    const DecodedPng png = DecodePngWithLibpng(Encoded(image, FormatPng));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.transparencyEntries, -1);
    EXPECT_EQ(png.rgb, colours);
}

TEST(Jpeg, LowDepthGreyRampIsUnpacked) {
    // A 4-bit identity ramp: the indices 0..15 are the grey levels.
    CDibImage image;
    ASSERT_TRUE(image.AllocateDib(300, 4, 4, FormatBmp));
    for (uint32_t i = 0; i < 16; ++i) {
        image.SetPaletteEntry(i, RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    }
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 300; ++x) {
            image.SetPixelIndexAt(x, y, static_cast<uint8_t>(x / 20));
        }
    }
    image.SetJpegQuality(100);
    bool ok = false;
    const DecodedJpeg jpeg = DecodeJpegWithLibjpeg(Encoded(image, FormatJpeg, &ok));
    ASSERT_TRUE(ok) << image.LastError();
    ASSERT_TRUE(jpeg.ok) << jpeg.error;
    ASSERT_EQ(jpeg.components, 1);
    for (int32_t x = 0; x < 300; x += 7) {
        EXPECT_NEAR(jpeg.pixels[x], x / 20, 2) << x;
    }
}

TEST(Jpeg, NoStreamIsAnErrorNotACrash) {
    CDibImage image;
    FillImage(image, 4, 4, 24, Pattern::Noise, 1);
    EXPECT_FALSE(image.Encode(nullptr, FormatJpeg));
    EXPECT_STREQ(image.LastError(), "Can't open JPEG for writing");
}

TEST(Jpeg, SameBytesAsBareLibjpeg) {
    // The benchmark's picture, and an odd size whose rows are padded and
    // whose last MCU row is partial.
    CDibImage desktop, odd;
    bench::MakeDesktop(desktop, false);
    FillImage(odd, 333, 45, 24, Pattern::Noise, 11);
    for (CDibImage* image : {&desktop, &odd}) {
        bool ok = false;
        const Bytes ours = Encoded(*image, FormatJpeg, &ok);
        ASSERT_TRUE(ok) << image->LastError();
        const Bytes bare = BareLibjpeg(*image);
        ASSERT_FALSE(bare.empty());
        EXPECT_TRUE(ours == bare) << image->Width() << "x" << image->Height() << ": " << ours.size()
                                  << " bytes, libjpeg " << bare.size();
    }
}
