#pragma once

// Reading back what a test made on disk: the whole file, and little-endian
// fields at a byte offset. Portable: native and Windows tests share it.

#include <cstdint>
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
