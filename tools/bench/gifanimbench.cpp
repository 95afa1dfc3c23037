// gifanimbench: a session of 100 captures of a 1024x768 screen written as one
// animated GIF, as the animated output does it (8-bit frames kept in memory,
// LZW, one EncodeMultipage into a file), beside ImageMagick's convert making
// an animated GIF of the same 100 frames read from 256-colour BMP files.
// Prints the time to write and the peak memory of each, and the ratios.
//   gifanimbench [--runs N] [--frames N] [--keep DIR]
// Our peak is the process's resident peak (VmHWM) while writing, reset once
// the frames exist; convert's is measured by /usr/bin/time -v.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/ByteStream.h"
#include "image/DibImage.h"
#include "image/DibImageGif.h"
#include "tools/bench/BenchPictures.h"

using namespace vistrel;

namespace {

constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 768;
constexpr uint32_t kDelay = 100;

// Peak resident memory of this process in bytes, from /proc.
size_t PeakResident() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return 0;
    }
    char line[256];
    size_t kb = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kb = std::strtoull(line + 6, nullptr, 10);
        }
    }
    std::fclose(status);
    return kb * 1024;
}

// Starts a new peak at the current resident size (Linux 4.0 on).
bool ResetPeak() {
    FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs) {
        return false;
    }
    const bool ok = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && ok;
}

// Frame `k` of the session: a part of the desktop with a pointer moving
// across it and a progress bar growing, as a screen changes between captures.
std::unique_ptr<CDibImage> MakeFrame(const CDibImage& desktop, int k) {
    auto frame = std::make_unique<CDibImage>(FormatBmp);
    frame->AllocateDib(kScreenWidth, kScreenHeight, 8, FormatBmp);
    for (uint32_t i = 0; i < 256; ++i) {
        frame->SetPaletteEntry(i, desktop.PaletteEntry(i));
    }
    const int32_t left = 16, top = 10;
    for (int32_t y = 0; y < kScreenHeight; ++y) {
        std::memcpy(frame->Row(kScreenHeight - 1 - y), desktop.Row(bench::kHeight - 1 - (y + top)) + left,
                    kScreenWidth);
    }
    auto put = [&](int32_t x, int32_t y, uint8_t index) {
        if (x >= 0 && x < kScreenWidth && y >= 0 && y < kScreenHeight) {
            frame->Row(kScreenHeight - 1 - y)[x] = index;
        }
    };
    const int32_t px = 100 + 8 * k, py = 80 + 6 * k;
    for (int32_t y = 0; y < 18; ++y) {
        for (int32_t x = 0; x <= y / 2; ++x) {
            put(px + x, py + y, x == 0 || x == y / 2 || y == 17 ? 0 : 255);
        }
    }
    for (int32_t y = 700; y < 712; ++y) {
        for (int32_t x = 200; x < 200 + 6 * k; ++x) {
            put(x, y, 0x1C);
        }
    }
    frame->SetFrameDelay(kDelay);
    frame->SetGifCompression(GifLzw);
    return frame;
}

long FileSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return -1;
    }
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

bool WriteBmp(CDibImage& image, const std::string& path) {
    CMemoryStream bytes;
    if (!image.Encode(&bytes, FormatBmp)) {
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    const bool ok = std::fwrite(bytes.Data().data(), 1, bytes.Data().size(), f) == bytes.Data().size();
    return std::fclose(f) == 0 && ok;
}

struct Measured {
    bool ok = false;
    double seconds = 0;
    size_t peak = 0;
};

// convert under /usr/bin/time -v: wall time and maximum resident set size.
Measured RunConvert(const std::string& dir, int frames) {
    Measured m;
    const std::string report = dir + "/time.txt";
    std::string command =
        "/usr/bin/time -v -o '" + report + "' /usr/bin/convert -delay " + std::to_string(kDelay) + " -loop 0";
    for (int k = 0; k < frames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%03d.bmp", k);
        command += " '" + dir + name + "'";
    }
    command += " '" + dir + "/convert.gif'";
    if (std::system(command.c_str()) != 0) {
        return m;
    }
    FILE* f = std::fopen(report.c_str(), "r");
    if (!f) {
        return m;
    }
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        const char* wall = std::strstr(line, "Elapsed (wall clock) time (h:mm:ss or m:ss): ");
        if (wall) {
            wall = std::strstr(wall, "): ") + 3;
            // m:ss.cc or h:mm:ss
            double parts[3] = {};
            int n = 0;
            const char* p = wall;
            while (n < 3) {
                char* end = nullptr;
                parts[n++] = std::strtod(p, &end);
                if (*end != ':') {
                    break;
                }
                p = end + 1;
            }
            m.seconds = n == 3 ? parts[0] * 3600 + parts[1] * 60 + parts[2] : parts[0] * 60 + parts[1];
        }
        const char* rss = std::strstr(line, "Maximum resident set size (kbytes): ");
        if (rss) {
            m.peak =
                std::strtoull(rss + std::strlen("Maximum resident set size (kbytes): "), nullptr, 10) * 1024;
        }
    }
    std::fclose(f);
    m.ok = m.seconds > 0 && m.peak > 0;
    return m;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    int count = 100;
    const char* keep = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--frames") == 0) {
            count = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: gifanimbench [--runs N] [--frames N] [--keep DIR]\n");
            return 2;
        }
    }
    if (runs < 1 || count < 1 || count > 300) {
        std::fprintf(stderr, "gifanimbench: --runs 1 or more, --frames 1 to 300\n");
        return 2;
    }
    std::string dir;
    if (keep) {
        dir = keep;
    } else {
        char pattern[] = "/tmp/gifanimbench.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("gifanimbench: mkdtemp");
            return 1;
        }
        dir = pattern;
    }

    // The frames as the animated output keeps them, and the same frames as
    // BMP files for convert.
    std::vector<std::unique_ptr<CDibImage>> frames;
    {
        CDibImage desktop(FormatBmp);
        bench::MakeDesktop(desktop, true);
        for (int k = 0; k < count; ++k) {
            frames.push_back(MakeFrame(desktop, k));
        }
    }
    for (int k = 0; k < count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%03d.bmp", k);
        if (!WriteBmp(*frames[k], dir + name)) {
            std::fprintf(stderr, "gifanimbench: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }
    std::vector<CDibImage*> pointers;
    pointers.reserve(frames.size());
    for (const auto& frame : frames) {
        pointers.push_back(frame.get());
    }

    const size_t frameBytes = static_cast<size_t>(count) * kScreenWidth * kScreenHeight;
    const bool peakReset = ResetPeak();
    const size_t before = PeakResident();
    const std::string ours = dir + "/ours.gif";
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        CDibImageGif writer;
        writer.SetGifCompression(GifLzw);
        if (!writer.SaveMultipageToFile(ours.c_str(), pointers.data(), count, false)) {
            std::fprintf(stderr, "gifanimbench: our write failed: %s\n", writer.LastError());
            return 1;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = s < best ? s : best;
    }
    const size_t ourPeak = PeakResident();
    const size_t encoder = 2 * sizeof(CDibImageGif); // the caller's writer and the one it borrows frames into
    const double budget = 1.1 * static_cast<double>(frameBytes + encoder);

    std::printf("gifanimbench: %d frames of %dx%d, 8 bits, LZW, delay %u; files in %s\n", count, kScreenWidth,
                kScreenHeight, kDelay, dir.c_str());
    std::printf("  frames in memory: %zu bytes; one encoder: %zu bytes; memory target 1.1x = %.0f bytes\n",
                frameBytes, encoder, budget);
    std::printf("%-10s %10s %14s %12s\n", "writer", "seconds", "peak bytes", "file bytes");
    std::printf("%-10s %10.3f %14zu %12ld   (best of %d; peak %s; %zu resident before writing)\n", "ours",
                best, ourPeak, FileSize(ours), runs, peakReset ? "while writing" : "of the whole process",
                before);
    std::fflush(stdout);

    const Measured convert = RunConvert(dir, count);
    if (!convert.ok) {
        std::printf("%-10s failed (needs /usr/bin/time and ImageMagick's /usr/bin/convert)\n", "convert");
    } else {
        std::printf("%-10s %10.3f %14zu %12ld   (one run, /usr/bin/time -v)\n", "convert", convert.seconds,
                    convert.peak, FileSize(dir + "/convert.gif"));
        std::printf("time:   ours / convert = %.3f   target < 1: %s\n", best / convert.seconds,
                    best < convert.seconds ? "met" : "MISSED");
        std::printf(
            "memory: ours / convert = %.3f; ours / (frames + one encoder) = %.3f   target <= 1.1: %s\n",
            static_cast<double>(ourPeak) / convert.peak,
            static_cast<double>(ourPeak) / static_cast<double>(frameBytes + encoder),
            ourPeak <= budget ? "met" : "MISSED");
    }
    if (!keep) {
        std::string clean = "rm -rf '" + dir + "'";
        if (std::system(clean.c_str()) != 0) {
            std::fprintf(stderr, "gifanimbench: could not remove %s\n", dir.c_str());
        }
    }
    return 0;
}
