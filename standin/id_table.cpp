// The table of IDs: appended in the order the query returns them, sorted
// once, read back from a cursor.
#include "standin/id_table.h"

#include <algorithm>
#include <bit>
#include <new>

#include "notes/notes_types.h"

namespace nn {

bool IdTable::add(std::uint32_t id) {
    if (count % CHUNK_IDS == 0) {
        std::unique_ptr<std::uint32_t[]> chunk(new (std::nothrow) std::uint32_t[CHUNK_IDS]);
        if (!chunk) {
            return false;
        }
        try {
            chunks.push_back(std::move(chunk));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (count != 0 && (id & ~STUB_FLAG) < (last & ~STUB_FLAG)) {
        sorted = false;
    }
    chunks[count / CHUNK_IDS][count % CHUNK_IDS] = id;
    last = id;
    ++count;
    return true;
}

// Puts the IDs in ascending order, if they came in any other. A radix
// sort from the leading bits down, in place: each pass spreads a range
// over 256 buckets by the next eight bits, and buckets grown small are
// finished by comparison.
void IdTable::sort() {
    if (sorted || count < 2) {
        return;
    }
    std::uint32_t low = UINT32_MAX, high = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t id = at(i) & ~STUB_FLAG;
        low = std::min(low, id);
        high = std::max(high, id);
    }
    const int width = std::bit_width(high - low);
    spread(0, count, low, width > 8 ? width - 8 : 0);
    sorted = true;
}

// One radix pass over [begin, end) on the eight bits of (id - low) above
// shift, then the same on each bucket.
void IdTable::spread(std::uint32_t begin, std::uint32_t end, std::uint32_t low, int shift) {
    auto digit = [low, shift](std::uint32_t id) {
        return (((id & ~STUB_FLAG) - low) >> shift) & 0xFF;
    };
    std::uint32_t next[257] = {};
    for (std::uint32_t i = begin; i < end; ++i) {
        ++next[digit(at(i)) + 1];
    }
    next[0] = begin;
    std::uint32_t limit[256];
    for (int b = 0; b < 256; ++b) {
        next[b + 1] += next[b];
        limit[b] = next[b + 1];
    }
    // Each ID is carried to the next free place of its bucket, and the one
    // found there carried on in turn, until the bucket is full.
    for (int b = 0; b < 256; ++b) {
        while (next[b] < limit[b]) {
            std::uint32_t id = at(next[b]);
            for (std::uint32_t home = digit(id); home != static_cast<std::uint32_t>(b);
                 home = digit(id)) {
                std::swap(id, at(next[home]++));
            }
            at(next[b]++) = id;
        }
    }
    std::uint32_t from = begin;
    for (int b = 0; b < 256; ++b) {
        const std::uint32_t to = limit[b];
        if (to - from > 64 && shift > 0) {
            spread(from, to, low, shift > 8 ? shift - 8 : 0);
        } else if (to - from > 1) {
            insertion_sort(from, to);
        }
        from = to;
    }
}

// Orders [begin, end) by insertion. The radix passes leave it only buckets of
// at most 64 IDs, or buckets whose IDs are all the same, which it passes over
// once.
void IdTable::insertion_sort(std::uint32_t begin, std::uint32_t end) {
    for (std::uint32_t i = begin + 1; i < end; ++i) {
        const std::uint32_t id = at(i);
        std::uint32_t to = i;
        for (; to > begin && (at(to - 1) & ~STUB_FLAG) > (id & ~STUB_FLAG); --to) {
            at(to) = at(to - 1);
        }
        at(to) = id;
    }
}

bool IdTable::next(bool first, std::uint32_t* id_out) {
    if (first) {
        cursor = 0;
    }
    if (cursor >= count) {
        return false;
    }
    *id_out = at(cursor++);
    return true;
}

} // namespace nn
