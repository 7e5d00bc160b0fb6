// The large arrays an index of hashes is made of, and how hashes are split
// into buckets by their top bits.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <sys/mman.h>

namespace quillmark {

struct FreeArray {
    void operator()(void* memory) const { std::free(memory); }
};
template <class T> using IndexArray = std::unique_ptr<T[], FreeArray>;

/// An uninitialised array; a large one on transparent huge pages, since the
/// lookups land on random pages of it and small pages thrash the TLB.
template <class T> IndexArray<T> allocateArray(std::size_t count) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    std::size_t bytes = std::max<std::size_t>(count * sizeof(T), sizeof(T));
    void* memory = nullptr;
    if (bytes >= kHugePage) {
        bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        memory = std::aligned_alloc(kHugePage, bytes);
        if (memory != nullptr)
            ::madvise(memory, bytes, MADV_HUGEPAGE); // a hint; failure is harmless
    } else {
        memory = std::malloc(bytes);
    }
    if (memory == nullptr)
        throw std::bad_alloc();
    return IndexArray<T>(static_cast<T*>(memory));
}

/// The top `bits` bits of a hash; a shift by 32 would be undefined.
inline std::uint32_t topBits(std::uint32_t hash, int bits) {
    return bits == 0 ? 0 : hash >> (32 - bits);
}

} // namespace quillmark
