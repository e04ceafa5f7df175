// 64-bit FNV-1a over a run of bytes: pins whole frames in tests, so that any
// change of output shows as a changed hash.
#pragma once

#include <cstddef>
#include <cstdint>

// `start` is the offset basis; tables of pinned hashes keep the one they were
// made with.
inline uint64_t contentHash(const void *data, size_t size, uint64_t start = 0xcbf29ce484222325ull) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    uint64_t h = start;
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 0x100000001b3ull;
    }
    return h;
}
