// Cost of one capture step of a full screen, grab to stored file or
// clipboard, for each output (the flash's deliberate wait left out).
// Run on demand through tools/bench/capture_bench.sh; prints
// "<output> <milliseconds per capture>" lines.

#include "capture/ScreenSources.h"
#include "output/FileExecute.h"
#include "settings/SettingsStore.h"

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    SettingsStore settings("VistrelBench");
    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const char* names[] = {"clipboard", "bmp", "jpg", "png", "gif"};
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const char* name : names) {
        const std::string path = folder + "\\bench." + name;
        std::unique_ptr<CToExecute> output;
        double total = 0;
        for (int i = 0; i < rounds; ++i) {
            // A fresh executor each time: every capture keeps the plain name, as in one immediate session.
            if (std::string(name) == "clipboard")
                output = std::make_unique<CClipboardExecute>(settings, owner);
            else if (std::string(name) == "bmp")
                output = std::make_unique<CBitmapExecute>(settings, path);
            else if (std::string(name) == "jpg")
                output = std::make_unique<CJpgExecute>(settings, path);
            else if (std::string(name) == "png")
                output = std::make_unique<CPngExecute>(settings, path);
            else
                output = std::make_unique<CGifExecute>(settings, path);
            CFullscreenExecute source(settings, 0);
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            BitmapHolder bitmap;
            RECT rect;
            bool ok = source.Capture(bitmap, rect, nullptr) && output->Store(bitmap);
            QueryPerformanceCounter(&end);
            if (!ok) {
                std::fprintf(stderr, "capturebench: %s failed\n", name);
                return 1;
            }
            total += double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        }
        std::printf("%s %.1f\n", name, total / rounds);
    }
    DestroyWindow(owner);
    return 0;
}
