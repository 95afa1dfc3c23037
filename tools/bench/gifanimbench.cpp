// gifanimbench: a session of 1000 captures of a 1920x1080 screen written as
// one animated GIF, as the animated output does it (each 8-bit frame encoded
// with LZW into the temporary beside the target when it is stored, the file
// completed and moved at the end), beside ImageMagick's convert making an
// animated GIF of the first frames read from 256-colour BMP files (convert
// holds every frame decoded, so it gets fewer: --convert-frames).
// Prints the session's peak memory, the time of Finish, the preview's
// decoded-frame bound, and convert's time and peak.
//   gifanimbench [--frames N] [--convert-frames N] [--keep DIR]
// Our peak is the process's resident peak (VmHWM) over the session, counted
// from the resident size before it; convert's is measured by /usr/bin/time -v.
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
#include "image/SafeFile.h"
#include "tools/bench/BenchPictures.h"

using namespace vistrel;

namespace {

constexpr int32_t kScreenWidth = bench::kWidth;
constexpr int32_t kScreenHeight = bench::kHeight;
// Frames the Result preview's picture control keeps decoded at most.
constexpr int kPreviewDecodedFrames = 4;
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
    for (int32_t y = 0; y < kScreenHeight; ++y) {
        std::memcpy(frame->Row(kScreenHeight - 1 - y), desktop.Row(bench::kHeight - 1 - y), kScreenWidth);
    }
    auto put = [&](int32_t x, int32_t y, uint8_t index) {
        if (x >= 0 && x < kScreenWidth && y >= 0 && y < kScreenHeight) {
            frame->Row(kScreenHeight - 1 - y)[x] = index;
        }
    };
    const int32_t px = 100 + (8 * k) % 1700, py = 80 + (6 * k) % 900;
    for (int32_t y = 0; y < 18; ++y) {
        for (int32_t x = 0; x <= y / 2; ++x) {
            put(px + x, py + y, x == 0 || x == y / 2 || y == 17 ? 0 : 255);
        }
    }
    for (int32_t y = 700; y < 712; ++y) {
        for (int32_t x = 200; x < 200 + (6 * k) % 1500; ++x) {
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
        std::snprintf(name, sizeof name, "/f%04d.bmp", k);
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
    int count = 1000;
    int convertCount = 50; // convert's default resource policy stops near 60 full-HD frames
    const char* keep = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            count = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--convert-frames") == 0) {
            convertCount = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: gifanimbench [--frames N] [--convert-frames N] [--keep DIR]\n");
            return 2;
        }
    }
    if (count < 1 || count > 5000 || convertCount < 0 || convertCount > count) {
        std::fprintf(stderr, "gifanimbench: --frames 1 to 5000, --convert-frames 0 to --frames\n");
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

    CDibImage desktop(FormatBmp);
    bench::MakeDesktop(desktop, true);
    for (int k = 0; k < convertCount; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%04d.bmp", k);
        if (!WriteBmp(*MakeFrame(desktop, k), dir + name)) {
            std::fprintf(stderr, "gifanimbench: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }

    // The session: every frame made (as a capture is converted), encoded
    // into the temporary at once and let go; Finish completes and moves.
    const size_t frameBytes = static_cast<size_t>(kScreenWidth) * kScreenHeight;
    const bool peakReset = ResetPeak();
    const size_t before = PeakResident();
    const std::string ours = dir + "/ours.gif";
    const auto start = std::chrono::steady_clock::now();
    double finishSeconds = 0;
    auto finishStart = start;
    {
        CSafeFileStream file(ours);
        CDibImageGif writer;
        writer.SetGifCompression(GifLzw);
        for (int k = 0; k < count; ++k) {
            if (!writer.AddAnimationFrame(&file, *MakeFrame(desktop, k), false) || !file.Sync()) {
                std::fprintf(stderr, "gifanimbench: frame %d failed: %s\n", k, writer.LastError());
                return 1;
            }
        }
        finishStart = std::chrono::steady_clock::now();
        if (!writer.EndAnimation(&file) || !file.Commit()) {
            std::fprintf(stderr, "gifanimbench: finish failed: %s %s\n", writer.LastError(),
                         file.FailureText().c_str());
            return 1;
        }
        finishSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - finishStart).count();
    }
    const double storeSeconds = std::chrono::duration<double>(finishStart - start).count();
    const double sessionSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t peak = PeakResident();
    const size_t sessionPeak = peak > before ? peak - before : 0;
    const size_t encoder = 2 * sizeof(CDibImageGif); // the caller's writer and the one it borrows frames into
    const double budget = static_cast<double>(3 * frameBytes + encoder);

    std::printf("gifanimbench: %d frames of %dx%d, 8 bits, LZW, delay %u; files in %s\n", count, kScreenWidth,
                kScreenHeight, kDelay, dir.c_str());
    std::printf(
        "  one 8-bit frame: %zu bytes; encoder tables: %zu bytes; target 3 frames + tables = %.0f bytes\n",
        frameBytes, encoder, budget);
    std::printf("ours: session %.3f s (store %.2f ms a frame, made, encoded and synced), Finish %.4f s "
                "(target < 0.050: %s), file %ld bytes\n",
                sessionSeconds, 1000 * storeSeconds / count, finishSeconds,
                finishSeconds < 0.05 ? "met" : "MISSED", FileSize(ours));
    std::printf(
        "ours: session peak %zu bytes above the %zu resident before (%s) = %.2f frames (target < 3: %s)\n",
        sessionPeak, before, peakReset ? "VmHWM reset" : "VmHWM of the whole process",
        static_cast<double>(sessionPeak) / static_cast<double>(frameBytes),
        static_cast<double>(sessionPeak) <= budget ? "met" : "MISSED");
    std::printf("preview: at most %d frames decoded at a time, whatever the frame count: about %zu bytes of "
                "32-bit bitmaps (not measured here: the control runs under Windows)\n",
                kPreviewDecodedFrames, static_cast<size_t>(kPreviewDecodedFrames) * frameBytes * 4);
    std::fflush(stdout);

    if (convertCount > 0) {
        const Measured convert = RunConvert(dir, convertCount);
        if (!convert.ok) {
            std::printf("convert: failed (needs /usr/bin/time and ImageMagick's /usr/bin/convert)\n");
        } else {
            std::printf("convert: %d frames in %.3f s, peak %zu bytes (%.2f frames), file %ld bytes\n",
                        convertCount, convert.seconds, convert.peak,
                        static_cast<double>(convert.peak) / static_cast<double>(frameBytes),
                        FileSize(dir + "/convert.gif"));
            std::printf("time per frame: ours / convert = %.3f; peak: ours (%d frames) / convert (%d frames) "
                        "= %.3f\n",
                        (sessionSeconds / count) / (convert.seconds / convertCount), count, convertCount,
                        static_cast<double>(sessionPeak) / static_cast<double>(convert.peak));
        }
    }
    if (!keep) {
        std::string clean = "rm -rf '" + dir + "'";
        if (std::system(clean.c_str()) != 0) {
            std::fprintf(stderr, "gifanimbench: could not remove %s\n", dir.c_str());
        }
    }
    return 0;
}
