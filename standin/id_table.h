// A table of note IDs, as db_modified_ids hands it out: each ID with its
// stub flag, in ascending order of the IDs once sorted, read back one by one
// from a cursor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace nn {

// IDs are stored in fixed chunks: no reallocation, no doubling slack.
constexpr int CHUNK_SHIFT = 16;
constexpr std::size_t CHUNK_IDS = std::size_t{1} << CHUNK_SHIFT;

struct IdTable {
    std::vector<std::unique_ptr<std::uint32_t[]>> chunks;
    std::uint32_t count = 0;
    std::uint32_t cursor = 0;
    std::uint32_t last = 0;
    bool sorted = true;

    // Appends an ID (stub flag included); false when memory runs out.
    bool add(std::uint32_t id);

    // Puts the IDs in ascending order, stub flag aside, if they came in any
    // other.
    void sort();

    // The next ID from the cursor, or from the start when first is set;
    // false past the last one.
    bool next(bool first, std::uint32_t* id_out);

    std::uint32_t& at(std::uint32_t i) { return chunks[i >> CHUNK_SHIFT][i & (CHUNK_IDS - 1)]; }

    // The steps of sort().
    void spread(std::uint32_t begin, std::uint32_t end, std::uint32_t low, int shift);
    void insertion_sort(std::uint32_t begin, std::uint32_t end);
};

} // namespace nn
