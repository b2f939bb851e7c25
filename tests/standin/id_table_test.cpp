// The stand-in's table of note IDs on its own: appending, sorting (stub flag
// aside, across chunks, whatever the spread of the IDs) and the cursor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "notes/notes_types.h"
#include "standin/id_table.h"

namespace {

using nn::CHUNK_IDS;
using nn::IdTable;

std::vector<std::uint32_t> read_all(IdTable& table) {
    std::vector<std::uint32_t> ids;
    std::uint32_t id = 0;
    for (bool first = true; table.next(first, &id); first = false) {
        ids.push_back(id);
    }
    return ids;
}

IdTable table_of(const std::vector<std::uint32_t>& ids) {
    IdTable table;
    for (std::uint32_t id : ids) {
        EXPECT_TRUE(table.add(id));
    }
    return table;
}

// What sort() must give: the same entries, in ascending order of the ID
// without its stub flag.
void expect_sorted_from(const std::vector<std::uint32_t>& input, IdTable& table) {
    const std::vector<std::uint32_t> got = read_all(table);
    ASSERT_EQ(got.size(), input.size());
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), [](std::uint32_t a, std::uint32_t b) {
        return (a & ~STUB_FLAG) < (b & ~STUB_FLAG);
    }));
    std::vector<std::uint32_t> got_entries = got, input_entries = input;
    std::sort(got_entries.begin(), got_entries.end());
    std::sort(input_entries.begin(), input_entries.end());
    EXPECT_EQ(got_entries, input_entries);
}

struct SortCase {
    const char* name;
    std::vector<std::uint32_t> input;
    std::vector<std::uint32_t> expected;
};

TEST(IdTable, SortsSmallTables) {
    const std::uint32_t S = STUB_FLAG;
    const SortCase cases[] = {
        {"empty", {}, {}},
        {"one", {7 | S}, {7 | S}},
        {"sorted", {1, 2 | S, 9}, {1, 2 | S, 9}},
        {"reversed", {9, 5 | S, 2}, {2, 5 | S, 9}},
        {"stub flag is not part of the order", {3 | S, 1, 2 | S}, {1, 2 | S, 3 | S}},
        {"far apart", {0x7FFFFFFF | S, 1, 0x40000000}, {1, 0x40000000, 0x7FFFFFFF | S}},
        {"duplicates", {4, 2, 4, 2, 1}, {1, 2, 2, 4, 4}},
    };
    for (const SortCase& c : cases) {
        SCOPED_TRACE(c.name);
        IdTable table = table_of(c.input);
        table.sort();
        EXPECT_TRUE(table.sorted);
        EXPECT_EQ(read_all(table), c.expected);
    }
}

TEST(IdTable, NotesWhetherInputCameSorted) {
    IdTable in_order = table_of({1, 2 | STUB_FLAG, 3});
    EXPECT_TRUE(in_order.sorted);
    IdTable out_of_order = table_of({2 | STUB_FLAG, 1});
    EXPECT_FALSE(out_of_order.sorted);
}

TEST(IdTable, DuplicatesWithAndWithoutStubFlagAreAllKept) {
    std::vector<std::uint32_t> input;
    for (std::uint32_t i = 0; i < 300; ++i) {
        input.push_back((i % 3 + 1) | (i % 2 != 0 ? STUB_FLAG : 0));
    }
    IdTable table = table_of(input);
    table.sort();
    expect_sorted_from(input, table);
}

// Shuffled tables over several chunks: IDs dense in a narrow range (one
// radix pass), spread over the whole range (several passes down to small
// buckets), and clustered (buckets that need further passes).
TEST(IdTable, SortsAcrossChunks) {
    const std::uint32_t count = 3 * CHUNK_IDS + 17;
    std::mt19937 random(12);
    struct Spread {
        const char* name;
        std::uint32_t step;
    };
    for (const Spread spread :
         {Spread{"dense", 1}, Spread{"wide", 0x7FFFFFFF / count}, Spread{"clustered", 3}}) {
        SCOPED_TRACE(spread.name);
        std::vector<std::uint32_t> input;
        for (std::uint32_t i = 0; i < count; ++i) {
            input.push_back((1 + i * spread.step) | (random() % 4 == 0 ? STUB_FLAG : 0));
        }
        std::shuffle(input.begin(), input.end(), random);
        IdTable table = table_of(input);
        EXPECT_EQ(table.count, count);
        EXPECT_EQ(table.chunks.size(), 4u);
        table.sort();
        expect_sorted_from(input, table);
    }
}

TEST(IdTable, CursorWalksOnceAndRestartsOnFirst) {
    IdTable table;
    std::uint32_t id = 0;
    EXPECT_FALSE(table.next(true, &id));
    for (std::uint32_t i = 1; i <= CHUNK_IDS + 1; ++i) {
        ASSERT_TRUE(table.add(i));
    }
    // Across the boundary of the first chunk, then past the end.
    ASSERT_TRUE(table.next(true, &id));
    EXPECT_EQ(id, 1u);
    for (std::uint32_t i = 2; i <= CHUNK_IDS + 1; ++i) {
        ASSERT_TRUE(table.next(false, &id));
        ASSERT_EQ(id, i);
    }
    EXPECT_FALSE(table.next(false, &id));
    EXPECT_FALSE(table.next(false, &id));
    ASSERT_TRUE(table.next(true, &id));
    EXPECT_EQ(id, 1u);
    ASSERT_TRUE(table.next(false, &id));
    EXPECT_EQ(id, 2u);
}

} // namespace
