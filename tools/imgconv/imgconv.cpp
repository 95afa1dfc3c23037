// imgconv: uncompressed BMP files in, GIF / PNG / JPEG / BMP out, through the
// image container. Several inputs make an animated GIF.
//
//   imgconv [--coder 0|1|2] [--delay N] [--loop N] [--quality Q]
//           [--transparent I] [--local-tables] [--comment TEXT]
//           [--format gif|png|jpeg|bmp] INPUT.bmp... OUTPUT
// --coder: 0 run-length (default), 1 uncompressed, 2 LZW. --loop (GIF):
// 0 repeats forever, 1 plays once, N plays N times; with one input and
// --loop 0 no loop block is written. --delay is in hundredths of a second.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/DibImageGif.h"

using namespace vistrel;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: imgconv [--coder 0|1|2] [--delay N] [--loop N] [--quality Q] [--transparent I]\n"
                 "               [--local-tables] [--comment TEXT] [--format gif|png|jpeg|bmp]\n"
                 "               INPUT.bmp... OUTPUT\n");
    return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

bool ReadFile(const char* path, std::vector<unsigned char>& data, std::string& error) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        data.insert(data.end(), chunk, chunk + n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "read error";
        return false;
    }
    return true;
}

uint32_t FormatFromName(const std::string& name) {
    const size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (ext == "gif") {
        return FormatGif;
    }
    if (ext == "png") {
        return FormatPng;
    }
    if (ext == "jpg" || ext == "jpeg") {
        return FormatJpeg;
    }
    if (ext == "bmp") {
        return FormatBmp;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    long coder = GifRunLength, delay = 0, loop = 0, quality = 75, transparent = -1;
    bool localTables = false;
    std::string comment;
    uint32_t format = 0;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--coder" && hasValue) {
            if (!ParseNumber(argv[++i], 0, 2, coder)) {
                std::fprintf(stderr, "imgconv: --coder must be 0, 1 or 2\n");
                return 2;
            }
        } else if (arg == "--delay" && hasValue) {
            if (!ParseNumber(argv[++i], 0, 65535, delay)) {
                std::fprintf(stderr, "imgconv: --delay must be 0..65535 hundredths\n");
                return 2;
            }
        } else if (arg == "--loop" && hasValue) {
            if (!ParseNumber(argv[++i], 0, 65536, loop)) {
                std::fprintf(stderr, "imgconv: --loop must be 0..65536\n");
                return 2;
            }
        } else if (arg == "--quality" && hasValue) {
            if (!ParseNumber(argv[++i], 0, 100, quality)) {
                std::fprintf(stderr, "imgconv: --quality must be 0..100\n");
                return 2;
            }
        } else if (arg == "--transparent" && hasValue) {
            if (!ParseNumber(argv[++i], -1, 255, transparent)) {
                std::fprintf(stderr, "imgconv: --transparent must be -1..255\n");
                return 2;
            }
        } else if (arg == "--comment" && hasValue) {
            comment = argv[++i];
        } else if (arg == "--local-tables") {
            localTables = true;
        } else if (arg == "--format" && hasValue) {
            format = FormatFromName(std::string(".") + argv[++i]);
            if (!format) {
                std::fprintf(stderr, "imgconv: unknown format '%s'\n", argv[i]);
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "imgconv: unknown option '%s'\n", arg.c_str());
            return Usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() < 2) {
        return Usage();
    }
    const char* output = files.back();
    files.pop_back();
    if (!format) {
        format = FormatFromName(output);
    }
    if (!format) {
        std::fprintf(stderr, "imgconv: cannot tell the format of '%s'; use --format\n", output);
        return 2;
    }
    if (files.size() > 1 && format != FormatGif) {
        std::fprintf(stderr, "imgconv: several inputs make an animation, which only GIF holds\n");
        return 2;
    }

    std::vector<std::unique_ptr<CDibImage>> images;
    for (const char* path : files) {
        std::vector<unsigned char> data;
        std::string error;
        if (!ReadFile(path, data, error)) {
            std::fprintf(stderr, "imgconv: cannot read '%s': %s\n", path, error.c_str());
            return 1;
        }
        std::unique_ptr<CDibImage> image(new CDibImage(FormatBmp));
        if (!image->ImportBmpFile(data.data(), data.size())) {
            std::fprintf(stderr, "imgconv: '%s': %s\n", path, image->LastError());
            return 1;
        }
        image->SetGifCompression(static_cast<uint32_t>(coder));
        image->SetFrameDelay(static_cast<uint32_t>(delay));
        image->SetJpegQuality(static_cast<uint8_t>(quality));
        image->SetTransparentIndex(static_cast<int32_t>(transparent));
        images.push_back(std::move(image));
    }

    bool ok;
    std::string failure;
    FILE* out = std::fopen(output, "wb");
    if (!out) {
        std::fprintf(stderr, "imgconv: cannot create '%s': %s\n", output, std::strerror(errno));
        return 1;
    }
    {
        CStdioStream file(out);
        if (format == FormatGif && (images.size() > 1 || loop != 0 || !comment.empty())) {
            // The animation writer: loop extension, per-frame delays, comment.
            std::vector<CDibImage*> frames;
            for (auto& image : images) {
                frames.push_back(image.get());
            }
            std::unique_ptr<CDibImageGif> gif(new CDibImageGif);
            gif->SetLoopCount(static_cast<int32_t>(loop));
            gif->SetComment(comment.c_str());
            ok = gif->EncodeMultipage(&file, frames.data(), static_cast<int>(frames.size()), localTables);
            if (!ok) {
                failure = gif->LastError();
            }
        } else {
            ok = images[0]->Encode(&file, format);
            if (!ok) {
                failure = images[0]->LastError();
            }
        }
    }
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        failure = std::strerror(errno);
    }
    if (!ok) {
        std::fprintf(stderr, "imgconv: cannot write '%s': %s\n", output, failure.c_str());
        std::remove(output); // no half-written file left behind
        return 1;
    }
    return 0;
}
