// imgbench: our writers side by side with the reference libraries doing the
// same work on the same 1920x1080 pixels, in the same run.
//   GIF:  8-bit pixels; ours (LZW, run-length, uncompressed) vs giflib EGifPutLine
//   PNG:  24-bit rows; ours vs libpng with its defaults
//   JPEG: 24-bit rows; ours vs bare libjpeg(-turbo) with our settings
//         (quality 75, 72 dpi, blue-green-red rows from a cache-aligned
//         buffer of its own): the bytes must be equal, and the time ratio is
//         measured twice, so a busy moment of the machine shows as a
//         difference between the two
// Two images: a synthetic desktop (flat areas, text-like detail, gradients)
// and a noisy photo-like one. Best of N runs of this thread's processor time
// (the machine is shared); output counted in memory.
// With valgrind installed, the GIF coders' instructions per pixel follow,
// counted by callgrind: repeatable on a busy machine where times are not.
//   imgbench [--runs N] [--gif-only 1] [--jpeg-only 1] [--callgrind 0]
//   imgbench --only NAME [--picture desktop|noisy]
//   (--only runs one writer once, for massif and profilers)
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <png.h>
extern "C" {
#include <jpeglib.h>
}

#include "image/DibImage.h"
#include "tools/bench/BareJpeg.h"
#include "tools/bench/BenchPictures.h"

using namespace vistrel;

namespace {

using bench::kHeight;
using bench::kWidth;
using bench::MakeDesktop;
using bench::MakeNoisy;

// Counts bytes without keeping them: memory use then shows only the encoder.
class CountingStream : public CByteStream {
public:
    bool Close() override { return true; }
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void*, size_t size, size_t count) override {
        bytes += size * count;
        return count;
    }
    bool Seek(int64_t, int) override { return false; }
    int64_t Tell() override { return static_cast<int64_t>(bytes); }
    int64_t Size() override { return static_cast<int64_t>(bytes); }
    bool Flush() override { return true; }
    bool AtEnd() override { return true; }
    long HasError() override { return 0; }
    long GetByte() override { return -1; }
    size_t bytes = 0;
};

// ---- references ----

int GifWrite(GifFileType* gif, const GifByteType*, int length) {
    static_cast<CountingStream*>(gif->UserData)->bytes += static_cast<size_t>(length);
    return length;
}

size_t GiflibEncode(CDibImage& image) {
    CountingStream out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        const RgbQuad q = image.PaletteEntry(static_cast<uint32_t>(i));
        colours[i] = GifColorType{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    for (int32_t y = kHeight - 1; y >= 0; --y) {
        EGifPutLine(gif, image.Row(y), kWidth);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out.bytes;
}

std::vector<uint8_t> RgbRows(CDibImage& image) {
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t* s = image.Row(kHeight - 1 - y);
        uint8_t* d = rgb.data() + static_cast<size_t>(y) * kWidth * 3;
        for (int32_t x = 0; x < kWidth; ++x) {
            d[3 * x] = s[3 * x + 2];
            d[3 * x + 1] = s[3 * x + 1];
            d[3 * x + 2] = s[3 * x];
        }
    }
    return rgb;
}

void PngWrite(png_structp png, png_bytep, png_size_t length) {
    static_cast<CountingStream*>(png_get_io_ptr(png))->bytes += length;
}
void PngFlush(png_structp) {}

size_t LibpngEncode(std::vector<uint8_t>& rgb) {
    CountingStream out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < kHeight; ++y) {
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * kWidth * 3);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out.bytes;
}

// The picture's rows top-down in their stored blue-green-red order, in a
// buffer starting on a cache line, as a program of libjpeg's own would hold them.
struct AlignedRows {
    explicit AlignedRows(CDibImage& image)
        : data(static_cast<uint8_t*>(std::aligned_alloc(64, static_cast<size_t>(kWidth) * kHeight * 3))) {
        for (int32_t y = 0; y < kHeight; ++y) {
            std::memcpy(Row(y), image.Row(kHeight - 1 - y), static_cast<size_t>(kWidth) * 3);
        }
    }
    ~AlignedRows() { std::free(data); }
    AlignedRows(const AlignedRows&) = delete;
    AlignedRows& operator=(const AlignedRows&) = delete;
    uint8_t* Row(int32_t y) const { return data + static_cast<size_t>(y) * kWidth * 3; }
    uint8_t* data;
};

// A 4096-byte buffer like ours, counted or kept: jpeg_mem_dest's growing
// buffer would cost the reference reallocations and page faults of its own.
struct JpegSink {
    jpeg_destination_mgr pub;
    JOCTET buffer[4096];
    size_t bytes;
    std::vector<uint8_t>* kept;
};

void JpegSinkTake(j_compress_ptr cinfo, size_t count) {
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    sink->bytes += count;
    if (sink->kept) {
        sink->kept->insert(sink->kept->end(), sink->buffer, sink->buffer + count);
    }
    sink->pub.next_output_byte = sink->buffer;
    sink->pub.free_in_buffer = sizeof sink->buffer;
}
void JpegSinkInit(j_compress_ptr cinfo) {
    JpegSinkTake(cinfo, 0);
}
boolean JpegSinkEmpty(j_compress_ptr cinfo) {
    JpegSinkTake(cinfo, sizeof reinterpret_cast<JpegSink*>(cinfo->dest)->buffer);
    return TRUE;
}
void JpegSinkTerm(j_compress_ptr cinfo) {
    JpegSinkTake(cinfo,
                 sizeof reinterpret_cast<JpegSink*>(cinfo->dest)->buffer - cinfo->dest->free_in_buffer);
}

size_t LibjpegEncode(const AlignedRows& rows, std::vector<uint8_t>* kept = nullptr) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    JpegSink sink{};
    sink.pub.init_destination = JpegSinkInit;
    sink.pub.empty_output_buffer = JpegSinkEmpty;
    sink.pub.term_destination = JpegSinkTerm;
    sink.kept = kept;
    cinfo.dest = &sink.pub;
    bench::SetOurJpegSettings(cinfo, kWidth, kHeight, JCS_EXT_BGR);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = rows.Row(static_cast<int32_t>(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return sink.bytes;
}

size_t OursEncode(CDibImage& image, uint32_t format, uint32_t coder) {
    CountingStream out;
    image.SetGifCompression(coder);
    if (!image.Encode(&out, format)) {
        std::fprintf(stderr, "imgbench: encode failed: %s\n", image.LastError());
        std::exit(1);
    }
    return out.bytes;
}

struct Result {
    double seconds;
    size_t bytes;
};

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

Result Measure(int runs, const std::function<size_t()>& work) {
    Result best{1e9, 0};
    for (int i = 0; i < runs; ++i) {
        const double start = ThreadSeconds();
        const size_t bytes = work();
        const double s = ThreadSeconds() - start;
        if (s < best.seconds) {
            best = {s, bytes};
        }
    }
    return best;
}

// Several writers measured in turns, so a busy moment of the machine hits
// them alike: best time of each.
std::vector<Result> MeasureInTurns(int runs, const std::vector<std::function<size_t()>>& works) {
    std::vector<Result> best(works.size(), Result{1e9, 0});
    for (int i = 0; i < runs; ++i) {
        for (size_t w = 0; w < works.size(); ++w) {
            const Result r = Measure(1, works[w]);
            if (r.seconds < best[w].seconds) {
                best[w] = r;
            }
        }
    }
    return best;
}

double MegaPixelsPerSecond(const Result& r) {
    return kWidth * static_cast<double>(kHeight) / 1e6 / r.seconds;
}

void Row(const char* name, const Result& r) {
    std::printf("  %-28s %9.1f MP/s %11zu bytes\n", name, MegaPixelsPerSecond(r), r.bytes);
}

void Compare(const char* what, const Result& ours, const Result& reference) {
    std::printf("  => %-25s speed ratio %.2f (ours/reference), size ratio %.4f\n", what,
                MegaPixelsPerSecond(ours) / MegaPixelsPerSecond(reference),
                static_cast<double>(ours.bytes) / static_cast<double>(reference.bytes));
}

// Ours against bare libjpeg: the same bytes first, then the time ratio in two
// passes of `runs` turns each.
void CompareJpeg(int runs, CDibImage& image) {
    std::printf(" JPEG (24-bit, quality 75)\n");
    const AlignedRows rows(image);
    std::vector<uint8_t> reference;
    LibjpegEncode(rows, &reference);
    CMemoryStream ours;
    if (!image.Encode(&ours, FormatJpeg)) {
        std::fprintf(stderr, "imgbench: encode failed: %s\n", image.LastError());
        std::exit(1);
    }
    if (ours.Data() != reference) {
        std::printf("  ours and libjpeg give different bytes (%zu, %zu): no comparison\n", ours.Data().size(),
                    reference.size());
        return;
    }
    std::printf("  same %zu bytes from ours and bare libjpeg\n", reference.size());
    for (int pass = 1; pass <= 2; ++pass) {
        const std::vector<Result> jpegs = MeasureInTurns(
            runs, {[&] { return LibjpegEncode(rows); }, [&] { return OursEncode(image, FormatJpeg, 0); }});
        std::printf("  pass %d: libjpeg-turbo %.2f ms, ours %.2f ms => time ratio %.3f (ours/libjpeg)\n",
                    pass, jpegs[0].seconds * 1e3, jpegs[1].seconds * 1e3,
                    jpegs[1].seconds / jpegs[0].seconds);
    }
}

// The instructions per pixel of one writer on one picture: this program
// run again under callgrind, counting only inside `function`. -1 when
// valgrind is missing or fails.
double InstructionsPerPixel(const char* writer, const char* function, bool noisy) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return -1;
    }
    self[length] = 0;
    const std::string out = "/tmp/imgbench-callgrind." + std::to_string(getpid());
    const std::string command = "valgrind --tool=callgrind --callgrind-out-file=" + out +
                                " '--toggle-collect=" + function + "' '" + self + "' --only " + writer +
                                " --picture " + (noisy ? "noisy" : "desktop") + " >/dev/null 2>&1";
    double instructions = -1;
    if (std::system(command.c_str()) == 0) {
        if (FILE* f = std::fopen(out.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, f)) {
                if (!std::strncmp(line, "summary:", 8) || !std::strncmp(line, "totals:", 7)) {
                    instructions = std::atof(std::strchr(line, ':') + 1);
                    break;
                }
            }
            std::fclose(f);
        }
    }
    std::remove(out.c_str());
    return instructions < 0 ? -1 : instructions / (kWidth * static_cast<double>(kHeight));
}

void CallgrindRows(bool noisy) {
    const struct {
        const char* name;
        const char* writer;
        const char* function;
    } writers[] = {{"giflib EGifPutLine", "giflib", "EGifPutLine"},
                   {"ours LZW", "gif-lzw", "vistrel::CDibImageGif::CompressLzw*"},
                   {"ours run-length", "gif-rle", "vistrel::CDibImageGif::CompressRunLength*"}};
    for (const auto& w : writers) {
        const double perPixel = InstructionsPerPixel(w.writer, w.function, noisy);
        if (perPixel < 0) {
            std::printf("  %-28s callgrind not available\n", w.name);
            return;
        }
        std::printf("  %-28s %9.2f instructions per pixel (callgrind)\n", w.name, perPixel);
    }
}

} // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::string only;
    bool noisy = false;
    bool gifOnly = false;
    bool jpegOnly = false;
    bool callgrind = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs")) {
            runs = std::atoi(argv[i + 1]);
        } else if (!std::strcmp(argv[i], "--only")) {
            only = argv[i + 1];
        } else if (!std::strcmp(argv[i], "--picture")) {
            noisy = !std::strcmp(argv[i + 1], "noisy");
        } else if (!std::strcmp(argv[i], "--gif-only")) {
            gifOnly = std::atoi(argv[i + 1]) != 0;
        } else if (!std::strcmp(argv[i], "--jpeg-only")) {
            jpegOnly = std::atoi(argv[i + 1]) != 0;
        } else if (!std::strcmp(argv[i], "--callgrind")) {
            callgrind = std::atoi(argv[i + 1]) != 0;
        }
    }
    if (!only.empty()) {
        // One writer, once, on one picture: for memory measurements.
        // Only the picture the writer needs: under callgrind making them is slow.
        const bool indexedWriter = only.rfind("gif", 0) == 0 || only == "none";
        CDibImage indexed, trueColour;
        CDibImage& picture = indexedWriter ? indexed : trueColour;
        if (noisy) {
            MakeNoisy(picture, indexedWriter);
        } else {
            MakeDesktop(picture, indexedWriter);
        }
        size_t bytes = 0;
        if (only == "gif-lzw") {
            bytes = OursEncode(indexed, FormatGif, GifLzw);
        } else if (only == "gif-rle") {
            bytes = OursEncode(indexed, FormatGif, GifRunLength);
        } else if (only == "gif-none") {
            bytes = OursEncode(indexed, FormatGif, GifUncompressed);
        } else if (only == "png") {
            bytes = OursEncode(trueColour, FormatPng, 0);
        } else if (only == "jpeg") {
            bytes = OursEncode(trueColour, FormatJpeg, 0);
        } else if (only == "giflib") {
            bytes = GiflibEncode(indexed);
        } else if (only == "libpng") {
            std::vector<uint8_t> rgb = RgbRows(trueColour);
            bytes = LibpngEncode(rgb);
        } else if (only == "libjpeg") {
            bytes = LibjpegEncode(AlignedRows(trueColour));
        } else if (only == "none") {
            bytes = 0;
        } else {
            std::fprintf(stderr,
                         "imgbench: --only gif-lzw|gif-rle|gif-none|png|jpeg|giflib|libpng|libjpeg|none\n");
            return 2;
        }
        std::printf("%s: %zu bytes\n", only.c_str(), bytes);
        return 0;
    }

    std::printf("imgbench: %dx%d, best of %d runs taken in turns (thread processor time), output counted in "
                "memory\n",
                kWidth, kHeight, runs);
    for (int picture = 0; picture < 2; ++picture) {
        CDibImage indexed, trueColour;
        if (picture == 0) {
            MakeDesktop(indexed, true);
        } else {
            MakeNoisy(indexed, true);
        }
        if (!gifOnly || jpegOnly) {
            if (picture == 0) {
                MakeDesktop(trueColour, false);
            } else {
                MakeNoisy(trueColour, false);
            }
        }
        std::printf("\n%s\n", picture == 0 ? "synthetic desktop" : "noisy photo-like");
        if (jpegOnly) {
            CompareJpeg(runs, trueColour);
            continue;
        }

        std::printf(" GIF (8-bit)\n");
        const std::vector<Result> gif =
            MeasureInTurns(runs, {[&] { return GiflibEncode(indexed); },
                                  [&] { return OursEncode(indexed, FormatGif, GifLzw); },
                                  [&] { return OursEncode(indexed, FormatGif, GifRunLength); },
                                  [&] { return OursEncode(indexed, FormatGif, GifUncompressed); }});
        const Result &giflib = gif[0], &lzw = gif[1], &rle = gif[2], &none = gif[3];
        Row("giflib EGifPutLine", giflib);
        Row("ours LZW", lzw);
        Row("ours run-length", rle);
        Row("ours uncompressed", none);
        Compare("LZW vs giflib", lzw, giflib);
        std::printf("  => run-length vs our LZW    speed ratio %.2f\n",
                    MegaPixelsPerSecond(rle) / MegaPixelsPerSecond(lzw));
        if (callgrind) {
            CallgrindRows(picture == 1);
        }
        if (gifOnly) {
            continue;
        }

        std::vector<uint8_t> rgb = RgbRows(trueColour);
        std::printf(" PNG (24-bit)\n");
        const std::vector<Result> pngs = MeasureInTurns(
            runs, {[&] { return LibpngEncode(rgb); }, [&] { return OursEncode(trueColour, FormatPng, 0); }});
        const Result &libpng = pngs[0], &png = pngs[1];
        Row("libpng defaults", libpng);
        Row("ours", png);
        Compare("PNG vs libpng", png, libpng);
        CompareJpeg(runs, trueColour);
    }
    return 0;
}
