// The container: layout of the packed DIB, pixel and palette operations,
// resolution, import of packed DIBs and the BMP writer.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestImages.h"
#include "image/DibImage.h"
#include "image/SafeFile.h"

using namespace vistrel;
using namespace vistrel::test;

namespace {

BitmapInfoHeader HeaderOf(const uint8_t* block) {
    BitmapInfoHeader h;
    std::memcpy(&h, block, sizeof h);
    return h;
}

// A packed DIB as GDI or a BMP file (after its 14 bytes) would hold it.
std::vector<uint8_t> PackedDib(int32_t width, int32_t height, int bits, uint32_t compression,
                               const std::vector<uint32_t>& masksOrTable, const std::vector<uint8_t>& rows,
                               int32_t xPels = 3780, uint32_t clrUsed = 0) {
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bits);
    h.biCompression = compression;
    h.biXPelsPerMeter = xPels;
    h.biYPelsPerMeter = xPels;
    h.biClrUsed = clrUsed;
    std::vector<uint8_t> out(sizeof h);
    std::memcpy(out.data(), &h, sizeof h);
    for (uint32_t v : masksOrTable) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

} // namespace

TEST(DibImage, NewContainerHasDefaults) {
    CDibImage image(FormatPng);
    EXPECT_FALSE(image.HasPixels());
    EXPECT_EQ(image.Info().imageType, static_cast<uint32_t>(FormatPng));
    EXPECT_EQ(image.Info().jpegQuality, 75);
    EXPECT_EQ(image.Info().transparentIndex, -1);
    EXPECT_EQ(image.Info().xDpi, 72);
    EXPECT_EQ(image.Header().biXPelsPerMeter, 2835);
    EXPECT_EQ(image.Header().biYPelsPerMeter, 2835);
    EXPECT_EQ(image.Header().biSize, 40u);
    EXPECT_EQ(image.Info().gifCompression, 0u);
    EXPECT_EQ(image.PixelIndexAt(0, 0), 0);
}

TEST(DibImage, AllocateRoundsDepthAndLaysOutBlock) {
    CDibImage image;
    ASSERT_NE(image.AllocateDib(3, 2, 2, FormatGif), nullptr);
    EXPECT_EQ(image.BitsPerPixel(), 4);
    EXPECT_EQ(image.ColourCount(), 16u);
    EXPECT_EQ(image.Info().imageType, static_cast<uint32_t>(FormatGif));

    for (int bits : {16, 32}) {
        ASSERT_NE(image.AllocateDib(5, 3, bits, FormatBmp), nullptr);
        EXPECT_EQ(image.BitsPerPixel(), 24);
        EXPECT_EQ(image.ColourCount(), 0u);
        EXPECT_EQ(image.RowStride(), 16u); // 15 bytes padded to 4
    }
    ASSERT_NE(image.AllocateDib(1, 7, 24, FormatBmp), nullptr);
    EXPECT_EQ(image.RowStride(), 4u);
    ASSERT_NE(image.AllocateDib(1, 7, 1, FormatBmp), nullptr);
    EXPECT_EQ(image.RowStride(), 4u);

    ASSERT_NE(image.AllocateDib(9, 5, 8, FormatBmp), nullptr);
    const BitmapInfoHeader h = HeaderOf(image.DibBlock());
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 9);
    EXPECT_EQ(h.biHeight, 5);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 12u * 5);
    EXPECT_EQ(h.biClrUsed, 256u);
    EXPECT_EQ(image.Row(0), image.DibBlock() + 40 + 1024);
    EXPECT_EQ(image.DibBlockSize(), 40u + 1024 + 60);
}

TEST(DibImage, AllocateRefusesSizesThatWouldWrap) {
    CDibImage image;
    EXPECT_EQ(image.AllocateDib(-1, 5, 8, FormatBmp), nullptr);
    EXPECT_EQ(image.AllocateDib(0x40000000, 0x40000000, 24, FormatBmp), nullptr);
    EXPECT_FALSE(image.HasPixels());
}

TEST(DibImage, PixelIndicesPackedPerDepth) {
    CDibImage image;
    ASSERT_TRUE(image.AllocateDib(10, 2, 4, FormatBmp));
    image.SetPixelIndexAt(0, 0, 0xA);
    image.SetPixelIndexAt(1, 0, 0x5);
    image.SetPixelIndexAt(9, 1, 0x7);
    EXPECT_EQ(image.Row(0)[0], 0xA5); // left pixel in the high nibble
    EXPECT_EQ(image.Row(1)[4], 0x07);
    EXPECT_EQ(image.PixelIndexAt(1, 0), 0x5);

    ASSERT_TRUE(image.AllocateDib(10, 1, 1, FormatBmp));
    image.SetPixelIndexAt(0, 0, 1);
    image.SetPixelIndexAt(9, 0, 1);
    EXPECT_EQ(image.Row(0)[0], 0x80);
    EXPECT_EQ(image.Row(0)[1], 0x40);
    EXPECT_EQ(image.PixelIndexAt(9, 0), 1);
    EXPECT_EQ(image.PixelIndexAt(8, 0), 0);

    // Outside: 0, or the transparent index when there is one.
    EXPECT_EQ(image.PixelIndexAt(10, 0), 0);
    image.SetTransparentIndex(1);
    EXPECT_EQ(image.PixelIndexAt(-1, 0), 1);
    image.SetPixelIndexAt(10, 0, 1); // ignored, no write past the row
}

TEST(DibImage, ColoursAndPalette) {
    CDibImage image;
    ASSERT_TRUE(image.AllocateDib(2, 2, 8, FormatBmp));
    image.SetPaletteEntry(3, RgbQuad{10, 20, 30, 0});
    image.SetPaletteEntry(7, RgbQuad{10, 20, 30, 0});
    image.SetPixelIndexAt(1, 1, 3);
    EXPECT_EQ(image.PixelColourAt(1, 1), (RgbQuad{10, 20, 30, 0}));
    EXPECT_EQ(image.PaletteEntry(300), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(image.NearestPaletteIndex(RgbQuad{10, 20, 31, 0}), 3); // two equal: the lower
    EXPECT_EQ(image.NearestPaletteIndex(RgbQuad{11, 21, 31, 0}), 3);

    image.SwapIndex(3, 0);
    EXPECT_EQ(image.PixelIndexAt(1, 1), 0);
    EXPECT_EQ(image.PaletteEntry(0), (RgbQuad{10, 20, 30, 0}));
    EXPECT_EQ(image.PixelIndexAt(0, 0), 3); // the former zeros
    EXPECT_FALSE(image.IsGreyscale());
    for (uint32_t i = 0; i < 256; ++i) {
        image.SetPaletteEntry(i, RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    }
    EXPECT_TRUE(image.IsGreyscale());

    ASSERT_TRUE(image.AllocateDib(2, 1, 24, FormatBmp));
    image.Row(0)[3] = 1;
    image.Row(0)[4] = 2;
    image.Row(0)[5] = 3;
    EXPECT_EQ(image.PixelColourAt(1, 0), (RgbQuad{1, 2, 3, 0}));
    image.SetTransparentColour(RgbQuad{9, 8, 7, 0});
    EXPECT_EQ(image.PixelColourAt(2, 0), (RgbQuad{9, 8, 7, 0}));
    EXPECT_EQ(image.PixelIndexAt(1, 0), 0);
    EXPECT_EQ(image.ColourType(), 2);
}

TEST(DibImage, BorrowingSharesPixelsAndFreesNothing) {
    CDibImage owner;
    ASSERT_TRUE(owner.AllocateDib(4, 4, 8, FormatBmp));
    owner.SetPixelIndexAt(2, 2, 42);
    owner.SetFrameDelay(150);
    {
        CDibImage borrower;
        borrower.BorrowFrom(&owner);
        EXPECT_EQ(borrower.DibBlock(), owner.DibBlock());
        EXPECT_EQ(borrower.Info().borrowedFrom, &owner);
        EXPECT_EQ(borrower.Info().frameDelay, 150u);
        EXPECT_EQ(borrower.PixelIndexAt(2, 2), 42);
    }
    EXPECT_EQ(owner.PixelIndexAt(2, 2), 42); // still there (ASan would see a double free)
}

TEST(DibImage, ResolutionToPelsPerMeter) {
    CDibImage image;
    image.SetXDpi(96);
    image.SetYDpi(300);
    EXPECT_EQ(image.Header().biXPelsPerMeter, 3780);
    EXPECT_EQ(image.Header().biYPelsPerMeter, 11811);
}

TEST(DibImage, ImportsPackedDibOfEveryDepth) {
    // 8 bits, 3 x 2, two palette entries declared.
    std::vector<uint8_t> rows = {1, 0, 1, 0, 0, 1, 0, 0};
    CDibImage image;
    ASSERT_TRUE(image.ImportPackedDib(PackedDib(3, 2, 8, 0, {0x00112233, 0x00445566}, rows, 3780, 2).data(),
                                      40 + 8 + 8));
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.Info().xDpi, 96);
    EXPECT_EQ(image.PaletteEntry(1), (RgbQuad{0x66, 0x55, 0x44, 0}));
    EXPECT_EQ(image.PaletteEntry(2), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(image.PixelIndexAt(0, 0), 1);
    EXPECT_EQ(image.PixelIndexAt(1, 1), 1);

    // 32 bits: bytes 0, 1, 2 of each pixel.
    std::vector<uint8_t> px32 = {1, 2, 3, 99, 4, 5, 6, 99};
    auto dib32 = PackedDib(2, 1, 32, 0, {}, px32);
    ASSERT_TRUE(image.ImportPackedDib(dib32.data(), dib32.size()));
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.PixelColourAt(1, 0), (RgbQuad{4, 5, 6, 0}));

    // 16 bits, 5-6-5 bit fields: each channel's top bit lands in bit 7.
    const uint16_t pixel = static_cast<uint16_t>((0x1F << 11) | (0x20 << 5) | 0x01);
    std::vector<uint8_t> px16 = {uint8_t(pixel), uint8_t(pixel >> 8), 0, 0};
    auto dib16 = PackedDib(1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, px16);
    ASSERT_TRUE(image.ImportPackedDib(dib16.data(), dib16.size()));
    EXPECT_EQ(image.PixelColourAt(0, 0), (RgbQuad{0x08, 0x80, 0xF8, 0}));

    // 16 bits without masks: 5-5-5.
    const uint16_t p555 = static_cast<uint16_t>((0x10 << 10) | (0x1F << 5) | 0x02);
    std::vector<uint8_t> px555 = {uint8_t(p555), uint8_t(p555 >> 8), 0, 0};
    auto dib555 = PackedDib(1, 1, 16, 0, {}, px555);
    ASSERT_TRUE(image.ImportPackedDib(dib555.data(), dib555.size()));
    EXPECT_EQ(image.PixelColourAt(0, 0), (RgbQuad{0x10, 0xF8, 0x80, 0}));
}

TEST(DibImage, ImportRefusesTruncatedOrUnsupportedInput) {
    CDibImage image;
    std::vector<uint8_t> rows(12 * 3, 0);
    auto dib = PackedDib(3, 3, 24, 0, {}, rows);
    // Every shorter block is refused, and leaves the container empty.
    for (size_t n = 0; n < dib.size(); ++n) {
        EXPECT_FALSE(image.ImportPackedDib(dib.data(), n)) << n;
        EXPECT_FALSE(image.HasPixels());
    }
    EXPECT_TRUE(image.ImportPackedDib(dib.data(), dib.size()));
    auto rle = PackedDib(3, 3, 8, 1, std::vector<uint32_t>(256, 0), rows);
    EXPECT_FALSE(image.ImportPackedDib(rle.data(), rle.size()));
    EXPECT_STREQ(image.LastError(), "DIB compression not supported");
    auto twoBit = PackedDib(3, 3, 2, 0, std::vector<uint32_t>(4, 0), rows);
    EXPECT_FALSE(image.ImportPackedDib(twoBit.data(), twoBit.size()));
    // A colour table declared larger than the block.
    auto big = PackedDib(1, 1, 8, 0, {1, 2}, {0, 0, 0, 0}, 3780, 200);
    EXPECT_FALSE(image.ImportPackedDib(big.data(), big.size()));
    EXPECT_FALSE(image.ImportBmpFile(dib.data(), dib.size()));
    EXPECT_STREQ(image.LastError(), "not a BMP file");
}

TEST(DibImage, TopDownSourceIsStoredBottomUp) {
    std::vector<uint8_t> rows = {7, 0, 0, 0, 9, 0, 0, 0}; // top row first
    auto dib = PackedDib(1, -2, 8, 0, std::vector<uint32_t>(256, 0), rows);
    CDibImage image;
    ASSERT_TRUE(image.ImportPackedDib(dib.data(), dib.size()));
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.PixelIndexAt(0, 1), 7);
    EXPECT_EQ(image.PixelIndexAt(0, 0), 9);
}

TEST(DibImage, BmpFileIsHeaderPlusBlockAndReadsBack) {
    CDibImage image;
    FillImage(image, 13, 7, 4, Pattern::Noise, 5);
    image.SetXDpi(96);
    bool ok = false;
    auto bytes = Encoded(image, FormatBmp, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(bytes.size(), 14 + image.DibBlockSize());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[2] | (bytes[3] << 8) | (bytes[4] << 16), static_cast<int>(bytes.size()));
    EXPECT_EQ(bytes[10] | (bytes[11] << 8), 14 + 40 + 64);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 14, image.DibBlock(), image.DibBlockSize()));
    EXPECT_EQ(HeaderOf(bytes.data() + 14).biXPelsPerMeter, 3780);

    CDibImage back;
    ASSERT_TRUE(back.ImportBmpFile(bytes.data(), bytes.size()));
    EXPECT_EQ(ExpectedRgb(back), ExpectedRgb(image));
    EXPECT_EQ(back.Info().xDpi, 96);
}

TEST(DibImage, EncodeUnknownFormatWritesNothing) {
    CDibImage image;
    FillImage(image, 2, 2, 8, Pattern::Noise, 1);
    CMemoryStream stream;
    EXPECT_FALSE(image.Encode(&stream, 5));
    EXPECT_STREQ(image.LastError(), "Encode: Unknown format");
    EXPECT_TRUE(stream.Data().empty());
}

TEST(DibImage, SaveToFileWritesAndReportsOpenFailure) {
    CDibImage image;
    FillImage(image, 5, 5, 24, Pattern::Gradient, 1);
    const std::string path = TempPath("save.bmp");
    ASSERT_TRUE(image.SaveToFile(path.c_str(), FormatBmp));
    EXPECT_EQ(ReadFileBytes(path).size(), 14u + image.DibBlockSize());
    std::remove(path.c_str());
    EXPECT_FALSE(image.SaveToFile("/nonexistent-dir/x.bmp", FormatBmp));
    EXPECT_STREQ(image.LastError(), std::strerror(ENOENT)) << "the system's reason";
}

TEST(ByteStreams, StdioStreamWithoutStream) {
    CStdioStream none(nullptr);
    char buffer[4];
    EXPECT_TRUE(none.Close());
    EXPECT_EQ(none.Read(buffer, 1, 4), 0u);
    EXPECT_EQ(none.Write(buffer, 1, 4), 0u);
    EXPECT_FALSE(none.Seek(0, SEEK_SET));
    EXPECT_EQ(none.Tell(), 0);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_FALSE(none.Flush());
    EXPECT_TRUE(none.AtEnd());
    EXPECT_EQ(none.HasError(), -1);
    EXPECT_FALSE(none.PutByte(1));
    EXPECT_EQ(none.GetByte(), -1);
}

TEST(ByteStreams, StdioStreamOverCallersFileLeavesItOpen) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        CStdioStream stream(f);
        EXPECT_TRUE(stream.PutByte(0xAB));
        EXPECT_EQ(stream.Write("xyz", 1, 3), 3u);
        EXPECT_EQ(stream.Size(), 4);
        EXPECT_EQ(stream.Tell(), 4);
        EXPECT_TRUE(stream.Seek(0, SEEK_SET));
        EXPECT_EQ(stream.GetByte(), 0xAB);
        EXPECT_TRUE(stream.Close()); // not owned: nothing happens
    }
    EXPECT_EQ(std::fgetc(f), 'x'); // still open after the stream is gone
    std::fclose(f);
}

TEST(DibImage, NewRowsAreClearedAndBmpWriteErrorsReported) {
    CDibImage image;
    ASSERT_TRUE(image.AllocateDib(7, 3, 24, FormatBmp));
    for (int32_t y = 0; y < 3; ++y) {
        for (uint32_t i = 0; i < image.RowStride(); ++i) {
            ASSERT_EQ(image.Row(y)[i], 0); // never old heap contents in a file
        }
    }
    CMemoryStream full(20);
    EXPECT_FALSE(image.Encode(&full, FormatBmp));
    EXPECT_STREQ(image.LastError(), "Write Error in BMP file");
    EXPECT_FALSE(image.Encode(nullptr, FormatBmp));
}

TEST(DibImage, ZeroWidthWithHugeHeightImportsAtOnce) {
    // Found by the fuzzer: no rows to copy, but two billion of them declared.
    auto dib = PackedDib(0, -2146238457, 1, 0, {0, 0}, {});
    CDibImage image;
    ASSERT_TRUE(image.ImportPackedDib(dib.data(), dib.size()));
    EXPECT_EQ(image.Width(), 0);
    image.SetTransparentIndex(1);
    CMemoryStream stream;
    EXPECT_FALSE(image.Encode(&stream, FormatGif)); // taller than a GIF can say
    EXPECT_FALSE(image.Encode(&stream, FormatPng));
    image.SwapIndex(0, 1);
}

TEST(DibImage, AbsurdResolutionsSaturate) {
    // Found by the fuzzer: a header's 2^31 - 1 pixels per metre is about
    // 54 million dpi, which no longer fits back into pixels per metre.
    CDibImage image;
    image.SetXDpi(60000000);
    image.SetYDpi(-60000000);
    EXPECT_EQ(image.Header().biXPelsPerMeter, INT32_MAX);
    EXPECT_EQ(image.Header().biYPelsPerMeter, INT32_MIN);
}

TEST(DibImage, ContainerEmptiedByAFailedImportHasNoImageAndWritesNoBmp) {
    CDibImage image;
    FillImage(image, 6, 4, 8, Pattern::Noise, 3);
    const uint8_t garbage[60] = {40};
    ASSERT_FALSE(image.ImportPackedDib(garbage, sizeof garbage));
    EXPECT_FALSE(image.HasPixels());
    EXPECT_EQ(image.BitsPerPixel(), 0) << "old depth kept";
    EXPECT_EQ(image.ColourCount(), 0u) << "old palette size kept";
    EXPECT_EQ(image.RowStride(), 0u);
    EXPECT_EQ(image.DibBlockSize(), 0u);
    EXPECT_EQ(image.Header().biSizeImage, 0u);
    CMemoryStream stream;
    EXPECT_FALSE(image.Encode(&stream, FormatBmp));
    EXPECT_STREQ(image.LastError(), "BMP: no image to write");
    EXPECT_TRUE(stream.Data().empty()) << "a header without pixels was written";
}

namespace {

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

} // namespace

// A write cut short by the file size limit, as a full disk would cut it.
TEST(SafeFile, AWriteFailingPartWayKeepsTheEarlierFileAndLeavesNoTemporary) {
    char pattern[] = "/tmp/vistrel-fsize-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::string folder = pattern, path = folder + "/shot.bmp";
    WriteWholeFile(path, {'o', 'l', 'd'});
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        CDibImage image;
        FillImage(image, 200, 200, 24, Pattern::Gradient, 1);
        _exit(image.SaveToFile(path.c_str(), FormatBmp)              ? 1
              : std::strcmp(image.LastError(), std::strerror(EFBIG)) ? 2
                                                                     : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << " (1: saved, 2: other reason)";
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"shot.bmp"}) << "a temporary was left";

    // A complete write replaces it, with the mode any new file gets.
    CDibImage image;
    FillImage(image, 5, 5, 24, Pattern::Gradient, 1);
    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_TRUE(image.SaveToFile(path.c_str(), FormatBmp));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u & ~mask);
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"shot.bmp"});

    EXPECT_EQ(TempNameFor("shot.png", 1), "~vsr-shot.png.tmp");
    EXPECT_EQ(TempNameFor("shot.png", 2), "~vsr-shot.png.2.tmp");
    // Long names stand as a digest: short, and apart for different names.
    const std::string longName = TempNameFor(std::string(200, 'n'), 1);
    EXPECT_EQ(longName.size(), std::string("~vsr-12345678.tmp").size()) << longName;
    EXPECT_NE(TempNameFor("1-" + std::string(200, 'n'), 1), TempNameFor("2-" + std::string(200, 'n'), 1));

    // A numbered name is claimed only while free.
    std::string why;
    EXPECT_EQ(platform::MoveNew(path, path + ".x", why), MoveStatus::Done);
    EXPECT_EQ(platform::MoveNew(path + ".x", path + ".x", why), MoveStatus::Exists);
    EXPECT_EQ(platform::MoveNew(path, path + ".y", why), MoveStatus::Missing);
    for (const std::string& name : FolderNames(folder))
        std::remove((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}
