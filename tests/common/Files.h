#pragma once

// Reading back what a test made on disk: the whole file, and little-endian
// fields at a byte offset. Portable: native and Windows tests share it.

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// The whole file, or nothing when it cannot be opened.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            data.insert(data.end(), chunk, chunk + n);
        std::fclose(f);
    }
    return data;
}

// A field of the file's own byte order (little-endian, as on the platform).
template <typename T> T ValueAt(const std::vector<uint8_t>& bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Tells full_disk.sh how many frames an animation it left on its drive must
// hold, for Pillow to count (VISTREL_FRAMES_REPORT names the list).
inline void ReportFrames(const std::string& name, int frames) {
    if (const char* report = std::getenv("VISTREL_FRAMES_REPORT"))
        if (FILE* f = std::fopen(report, "a")) {
            std::fprintf(f, "%s %d\n", name.c_str(), frames);
            std::fclose(f);
        }
}
