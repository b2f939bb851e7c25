// The stand-in library on its own: time arithmetic, the query, note
// information and the refusals that protect live notes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "standin/nnotes.h"
#include "tests/support/notes_db.h"

// GCC sees the free() below paired with the new-expressions that reach it
// and warns, not knowing that operator new is the malloc() above it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Allocation failure on demand: while g_fail_allocation is N > 0, the Nth
// allocation from then on fails (the library is in the same process).
std::atomic<long> g_fail_allocation{0};

void* operator new(std::size_t size) {
    if (g_fail_allocation.load() > 0 && --g_fail_allocation == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
// Every other form goes the same way, so that no allocation is made by one
// allocator and released by another (which the address sanitizer reports).
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

constexpr std::int64_t DAY_MS = 86400000;

// A write by another connection, waiting for locks at most timeout_ms;
// SQLite's result code.
int write_beside(const std::string& file, const std::string& sql, int timeout_ms) {
    sqlite3* conn = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(conn, timeout_ms);
        rc = sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_close(conn);
    return rc;
}

NotesTime at(const char* iso) {
    const std::int64_t ms = utc_ms(iso);
    std::int64_t day = ms / DAY_MS; // test times are after 1970
    return {{static_cast<std::uint32_t>(ms - day * DAY_MS), static_cast<std::uint32_t>(day)}};
}

std::string text_of(const NotesTime& t) {
    char buffer[81];
    std::memset(buffer, '#', sizeof buffer);
    std::uint16_t length = 0xFFFF;
    EXPECT_EQ(nn_time_to_text(nullptr, nullptr, &t, buffer, 80, &length), 0);
    EXPECT_LE(length, 80);
    return std::string(buffer, length);
}

class StandIn : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        setenv("NOTES_DATA", dir.path().c_str(), 1);
        unsetenv("NOTES_FAIL");
        unsetenv("NOTES_NOW");
        set_zone("UTC0");
        char prog[] = "test";
        char* argv[] = {prog, nullptr};
        ASSERT_EQ(nn_notes_init(1, argv), 0);
    }
    void TearDown() override {
        nn_notes_term();
        set_zone("UTC0");
    }
    static void set_zone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    DbHandle open(const std::string& name) {
        DbHandle db{};
        EXPECT_EQ(nn_db_open(name.c_str(), &db), 0);
        return db;
    }
    std::vector<std::uint32_t> table_of(DbHandle db, NotesTime since, NotesStatus* status) {
        IdTableHandle table{};
        NotesTime until;
        *status = nn_db_modified_ids(db, 0x7FFF, since, &until, &table);
        std::vector<std::uint32_t> ids;
        if (*status != 0) {
            return ids;
        }
        EXPECT_GT(nn_idtable_count(table), 0u);
        std::uint32_t id;
        for (int first = 1; nn_idtable_next(table, first, &id); first = 0) {
            ids.push_back(id);
        }
        EXPECT_EQ(ids.size(), nn_idtable_count(table));
        nn_idtable_free(table);
        return ids;
    }
};

TEST_F(StandIn, DayNumbersAreLocalCalendarDays) {
    const NotesTime late_utc = at("2026-03-07T23:30:00Z");
    EXPECT_EQ(nn_time_day_number(&late_utc), 20519); // 2026-03-07
    set_zone("JST-9");
    EXPECT_EQ(nn_time_day_number(&late_utc), 20520); // already the 8th in Tokyo
    set_zone("EST5EDT,M3.2.0,M11.1.0");
    const NotesTime early_utc = at("2026-03-08T03:00:00Z");
    EXPECT_EQ(nn_time_day_number(&early_utc), 20519); // still the 7th in New York
}

TEST_F(StandIn, AdjustingByDaysKeepsTheLocalTimeAcrossClockChanges) {
    set_zone("EST5EDT,M3.2.0,M11.1.0");       // clocks go forward on 2026-03-08
    NotesTime t = at("2026-03-07T15:00:00Z"); // 10:00 EST
    ASSERT_EQ(nn_time_adjust(&t, 0, 0, 0, 1, 0, 0), 0);
    EXPECT_EQ(text_of(t), "2026-03-08 10:00:00 -0400");
    ASSERT_EQ(nn_time_adjust(&t, 0, 0, 0, -1, 0, 0), 0);
    EXPECT_EQ(text_of(t), "2026-03-07 10:00:00 -0500");
}

TEST_F(StandIn, AdjustingSaturatesInsteadOfWrapping) {
    NotesTime t = at("2026-12-01T12:00:00Z");
    nn_time_adjust(&t, 0, 0, 0, -2147483647, 0, 0);
    nn_time_adjust(&t, 0, 0, 0, -2147483647, 0, 0);
    const std::int32_t earliest = nn_time_day_number(&t);
    EXPECT_EQ(earliest, INT32_MIN);
    nn_time_adjust(&t, 0, 0, 0, 2147483647, 0, 0);
    nn_time_adjust(&t, 0, 0, 0, 2147483647, 0, 0);
    nn_time_adjust(&t, 0, 0, 0, 2147483647, 0, 0);
    EXPECT_EQ(nn_time_day_number(&t), INT32_MAX);
    EXPECT_LE(text_of(t).size(), 80u);
}

TEST_F(StandIn, TimeTextIsLocalWithItsOffsetAndNotTerminated) {
    set_zone("IST-5:30");
    EXPECT_EQ(text_of(at("2026-12-01T20:00:00Z")), "2026-12-02 01:30:00 +0530");
    NotesTime whole_day = at("2026-12-01T00:00:00Z");
    whole_day.words[0] = 0xFFFFFFFF;
    EXPECT_EQ(text_of(whole_day), "2026-12-01");

    // A short buffer gets a cut text and the cut length, nothing beyond it.
    char small[12];
    std::memset(small, '#', sizeof small);
    std::uint16_t length = 0;
    const NotesTime t = at("2026-12-01T20:00:00Z");
    nn_time_to_text(nullptr, nullptr, &t, small, 10, &length);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(std::string(small, 12), "2026-12-02##");
}

TEST_F(StandIn, QueryReturnsAscendingIdsOfMatchingClassesSinceTheBound) {
    // Times run against IDs, so that an index on the time gives another order.
    make_notes_db(dir.file("q.nsf"), {{40, 0x0001, utc_ms("2026-11-29T00:00:00Z"), 1},
                                      {8, 0x0008, utc_ms("2026-11-01T00:00:00Z"), 0},
                                      {12, 0x8000, utc_ms("2026-11-30T00:00:00Z"), 1},
                                      {16, 0x0000, utc_ms("2026-11-30T00:00:00Z"), 0},
                                      {20, 0x0004, utc_ms("2026-11-30T00:00:00Z"), 0}});
    exec_sql(dir.file("q.nsf"), "CREATE INDEX m ON notes (modified, deleted, class)");
    DbHandle db = open("q.nsf");
    NotesTime everything;
    nn_time_constant(2, &everything);
    NotesStatus status;
    EXPECT_EQ(table_of(db, everything, &status),
              (std::vector<std::uint32_t>{8, 20, 0x80000000u | 40}));
    EXPECT_EQ(status, 0);

    NotesTime since = at("2026-11-29T00:00:00Z");
    since.words[0] = 0xFFFFFFFF; // the whole day
    EXPECT_EQ(table_of(db, since, &status), (std::vector<std::uint32_t>{20, 0x80000000u | 40}));
    since = at("2026-12-01T00:00:00Z");
    EXPECT_TRUE(table_of(db, since, &status).empty());
    EXPECT_EQ(status, 572);
    nn_db_close(db);
}

// A bounded query over many chunks of IDs, read through the time index in
// an order unrelated to the IDs, still gives every ID once, in ascending order.
TEST_F(StandIn, BoundedQueryThroughTheTimeIndexIsSortedAcrossChunks) {
    const int count = 200000;
    std::vector<NoteRow> rows;
    const std::int64_t newest = utc_ms("2026-11-30T00:00:00Z");
    for (int i = 1; i <= count; ++i) {
        // Times a permutation of the IDs: the index order is scrambled.
        const std::int64_t rank = (i * std::int64_t{7919}) % count;
        rows.push_back({i, 1, newest - rank * 1000, i % 7 == 0 ? 1 : 0});
    }
    rows.push_back({2147483647, 1, newest, 1}); // the highest ID there can be
    make_notes_db(dir.file("big.nsf"), rows);
    exec_sql(dir.file("big.nsf"), "CREATE INDEX m ON notes (modified, deleted, class)");
    DbHandle db = open("big.nsf");
    NotesStatus status;
    const std::vector<std::uint32_t> ids = table_of(db, at("2026-11-01T00:00:00Z"), &status);
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(count) + 1);
    for (int i = 1; i <= count; ++i) {
        ASSERT_EQ(ids[i - 1], static_cast<std::uint32_t>(i) | (i % 7 == 0 ? 0x80000000u : 0u));
    }
    EXPECT_EQ(ids.back(), 0xFFFFFFFFu);
    nn_db_close(db);
}

// After a bounded query, note information kept from it must answer exactly
// as a read of the file would, and give way to the file once it changes.
TEST_F(StandIn, NoteInfoAfterABoundedQueryFollowsTheFile) {
    const std::vector<NoteRow> rows = {{4, 0x10008, utc_ms("2026-11-30T10:00:00Z"), 1},
                                       {8, 0x0001, utc_ms("2026-11-30T11:00:00Z"), 0},
                                       {12, 0x0001, 9000000000000000000LL, 1},
                                       {16, 0x0004, utc_ms("2026-11-29T10:00:00Z"), 1},
                                       {20, 0x0004, utc_ms("2026-11-28T10:00:00Z"), 1}};
    make_notes_db(dir.file("k.nsf"), rows);
    exec_sql(dir.file("k.nsf"), "CREATE INDEX m ON notes (modified, deleted, class)");
    struct Answer {
        NotesStatus status;
        NoteClass note_class;
        std::int32_t day;
        bool operator==(const Answer&) const = default;
    };
    auto info = [](DbHandle db, NoteId id) {
        NoteOriginRecord origin;
        NotesTime modified{};
        NoteClass note_class = 0;
        const NotesStatus status = nn_note_info(db, id, &origin, &modified, &note_class);
        return Answer{status, note_class, status == 549 ? nn_time_day_number(&modified) : 0};
    };

    DbHandle fresh = open("k.nsf");
    std::vector<Answer> expected;
    for (NoteId id : {4u, 8u, 12u, 16u, 20u, 99u}) {
        expected.push_back(info(fresh, id));
    }
    nn_db_close(fresh);

    DbHandle db = open("k.nsf");
    NotesStatus status;
    ASSERT_EQ(table_of(db, at("2026-11-29T00:00:00Z"), &status).size(), 4u);
    std::size_t i = 0;
    for (NoteId id : {4u, 8u, 12u, 16u, 20u, 99u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(info(db, id), expected[i++]);
    }

    // Another process purges one stub and redates another.
    table_of(db, at("2026-11-29T00:00:00Z"), &status);
    exec_sql(dir.file("k.nsf"), "DELETE FROM notes WHERE note_id = 4;"
                                "UPDATE notes SET modified = 0 WHERE note_id = 16");
    const NotesTime epoch = at("1970-01-01T00:00:00Z");
    EXPECT_NE(info(db, 4).status, 549);
    EXPECT_EQ(info(db, 16).day, nn_time_day_number(&epoch));

    // A removal of our own is seen at once (the first one sets the file up
    // for removals, which another connection would see as a change).
    ASSERT_EQ(nn_note_delete(db, 20, 0x0200), 0);
    table_of(db, at("2026-11-29T00:00:00Z"), &status);
    ASSERT_EQ(info(db, 12).status, 549);
    ASSERT_EQ(nn_note_delete(db, 12, 0x0200), 0);
    EXPECT_NE(info(db, 12).status, 549);
    nn_db_close(db);
}

TEST_F(StandIn, NoteInfoDescribesStubsAndReducesOddValues) {
    make_notes_db(dir.file("i.nsf"), {{4, 0x10008, utc_ms("2026-11-30T10:00:00Z"), 1},
                                      {8, 0x0001, utc_ms("2026-11-30T10:00:00Z"), 0},
                                      {12, 0x0001, 9000000000000000000LL, 1},
                                      {16, 0x0001, -9000000000000000000LL, 1}});
    DbHandle db = open("i.nsf");
    NoteOriginRecord origin;
    NotesTime modified;
    NoteClass note_class;
    EXPECT_EQ(nn_note_info(db, 4, &origin, &modified, &note_class), 549);
    EXPECT_EQ(note_class, 0x0008); // a 16-bit class
    EXPECT_EQ(text_of(modified), "2026-11-30 10:00:00 +0000");
    EXPECT_EQ(nn_note_info(db, 8, &origin, &modified, &note_class), 0);
    EXPECT_NE(nn_note_info(db, 99, &origin, &modified, &note_class), 0);
    EXPECT_NE(nn_note_info(db, 99, &origin, &modified, &note_class), 549);

    // Times beyond what a time value holds are pinned to its ends.
    EXPECT_EQ(nn_note_info(db, 12, &origin, &modified, &note_class), 549);
    EXPECT_EQ(nn_time_day_number(&modified), INT32_MAX);
    EXPECT_EQ(nn_note_info(db, 16, &origin, &modified, &note_class), 549);
    EXPECT_EQ(nn_time_day_number(&modified), INT32_MIN);
    nn_db_close(db);
}

TEST_F(StandIn, DeleteRemovesOnlyStubs) {
    const std::vector<NoteRow> rows = {{4, 1, 1000, 1}, {8, 1, 2000, 0}};
    make_notes_db(dir.file("d.nsf"), rows);
    DbHandle db = open("d.nsf");
    const NotesStatus live = nn_note_delete(db, 8, 0x0200);
    const NotesStatus missing = nn_note_delete(db, 99, 0x0200);
    const NotesStatus other_flags = nn_note_delete(db, 4, 0x0001);
    EXPECT_NE(live, 0);
    EXPECT_NE(missing, 0);
    EXPECT_NE(other_flags, 0);
    char text[256];
    nn_status_text(0, live, text, 255);
    EXPECT_STREQ(text, "Note is not a deletion stub; it was left in place");
    EXPECT_EQ(read_notes(dir.file("d.nsf")), rows);

    EXPECT_EQ(nn_note_delete(db, 4, 0x0200), 0);
    EXPECT_NE(nn_note_delete(db, 4, 0x0200), 0); // already gone
    nn_db_close(db);
    EXPECT_EQ(read_notes(dir.file("d.nsf")), (std::vector<NoteRow>{{8, 1, 2000, 0}}));
}

TEST_F(StandIn, PathsUpTo255Characters) {
    char path[256];
    const std::string name255(255, 'n');
    EXPECT_EQ(nn_build_db_path(0, "", name255.c_str(), path), 0);
    EXPECT_EQ(std::string(path), name255);
    EXPECT_NE(nn_build_db_path(0, "", (name255 + "x").c_str(), path), 0);
    EXPECT_EQ(nn_build_db_path(0, "srv", std::string(250, 'd').c_str(), path), 0);
    EXPECT_EQ(std::string(path), "srv!!" + std::string(250, 'd'));
    EXPECT_NE(nn_build_db_path(0, "srv", std::string(251, 'd').c_str(), path), 0);
    EXPECT_NE(nn_build_db_path(0, "a!!b", "db", path), 0);
}

TEST_F(StandIn, EveryCodeHasATextAndNoneIsMarkedShown) {
    char text[256];
    for (NotesStatus code = 1; code <= 0x3FFF; ++code) {
        const std::uint16_t length = nn_status_text(0, code, text, 255);
        ASSERT_GT(length, 0) << code;
        ASSERT_EQ(std::strlen(text), length) << code;
    }
    nn_status_text(0, 1234, text, 255);
    EXPECT_STREQ(text, "Unknown error (status 1234)");
    // Success has no text, so a listing or removal shows no error line for it.
    EXPECT_EQ(nn_status_text(0, 0, text, 255), 0);
    EXPECT_EQ(nn_status_text(0, 0x8000, text, 255), 0);

    // The failures the library reports leave bit 0x8000 ("already shown")
    // clear, so that the program shows them, and each has a text of its own.
    make_notes_db(dir.file("s.nsf"), {{4, 1, 1000, 1}, {8, 1, 1000, 0}}, 148, "reader");
    write_file(dir.file("text.nsf"), "not a database");
    DbHandle db = open("s.nsf");
    DbHandle none{};
    char path[256];
    std::uint16_t version = 0;
    NoteOriginRecord origin;
    NotesTime modified;
    NoteClass note_class;
    const NotesStatus failures[] = {
        nn_db_open("missing.nsf", &none),
        nn_db_open("text.nsf", &none),
        nn_db_open("Nowhere!!x.nsf", &none),
        nn_build_db_path(0, "", std::string(256, 'n').c_str(), path),
        nn_db_version(DbHandle{99}, &version),
        nn_note_info(db, 99, &origin, &modified, &note_class),
        nn_note_delete(db, 4, 0x0200),
        nn_note_delete(db, 4, 0x0001),
    };
    for (NotesStatus status : failures) {
        SCOPED_TRACE(status);
        EXPECT_NE(status, 0);
        EXPECT_EQ(status & 0x8000, 0);
        nn_status_text(0, status, text, 255);
        EXPECT_EQ(std::string(text).rfind("Unknown error", 0), std::string::npos) << text;
    }
    nn_db_close(db);
}

// An injected status, 0 included, is all the operation does: no output is
// filled, nothing is opened, queried or removed.
TEST_F(StandIn, AnInjectedZeroStatusDoesNothingElse) {
    make_notes_db(dir.file("z.nsf"), {{4, 1, 1000, 1}});
    DbHandle db = open("z.nsf");
    nn_notes_term();
    setenv("NOTES_FAIL", "db_open=0,db_modified_ids=0,note_info=0,note_delete=0", 1);
    char prog[] = "test";
    char* argv[] = {prog, nullptr};
    ASSERT_EQ(nn_notes_init(1, argv), 0);
    unsetenv("NOTES_FAIL");
    db = DbHandle{};
    ASSERT_EQ(nn_db_open(dir.file("z.nsf").c_str(), &db), 0);
    EXPECT_EQ(db, DbHandle{}) << "a handle came back from an open that did not happen";
    NotesTime since;
    nn_time_constant(2, &since);
    IdTableHandle table{0xABCD};
    NotesTime until{{7, 7}};
    EXPECT_EQ(nn_db_modified_ids(DbHandle{1}, 0x7FFF, since, &until, &table), 0);
    EXPECT_EQ(table, IdTableHandle{0xABCD});
    EXPECT_EQ(until.words[0], 7u);
    NoteOriginRecord origin;
    std::memset(&origin, 0x5A, sizeof origin);
    NotesTime modified{{9, 9}};
    NoteClass note_class = 0x5A5A;
    EXPECT_EQ(nn_note_info(DbHandle{1}, 4, &origin, &modified, &note_class), 0);
    EXPECT_EQ(modified.words[1], 9u);
    EXPECT_EQ(note_class, 0x5A5A);
    EXPECT_EQ(origin.words[0], 0x5A5A5A5Au);
    EXPECT_EQ(nn_note_delete(DbHandle{1}, 4, 0x0200), 0);
    EXPECT_EQ(read_notes(dir.file("z.nsf")).size(), 1u);
}

// A read transaction left idle (the program busy elsewhere, or blocked
// writing its output) is ended by the library itself: a writer with a
// 2-second timeout gets in, and the next lookup sees what it wrote, kept
// stubs included. In both journal modes.
TEST_F(StandIn, AnIdleReadTransactionEndsByItself) {
    for (const char* journal : {"DELETE", "WAL"}) {
        SCOPED_TRACE(journal);
        const std::string file = dir.file(std::string("idle-") + journal + ".nsf");
        make_notes_db(file, {{4, 1, utc_ms("2026-11-30T10:00:00Z"), 1},
                             {8, 1, utc_ms("2026-11-30T11:00:00Z"), 1}});
        exec_sql(file, std::string("PRAGMA journal_mode=") + journal);
        DbHandle db = open(file);
        NotesStatus status;
        ASSERT_EQ(table_of(db, at("2026-11-29T00:00:00Z"), &status).size(), 2u);
        NoteOriginRecord origin;
        NotesTime modified;
        NoteClass note_class = 0;
        ASSERT_EQ(nn_note_info(db, 4, &origin, &modified, &note_class), 549);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(write_beside(file, "UPDATE notes SET class = 4 WHERE note_id = 8", 2000),
                  SQLITE_OK);
        EXPECT_EQ(nn_note_info(db, 8, &origin, &modified, &note_class), 549);
        EXPECT_EQ(note_class, 4);
        nn_db_close(db);
    }
}

// A reader that never stops calling renews its transaction: a writer with
// a 2-second timeout gets in while lookups go on for 3 seconds (far more
// than a thousand of them).
TEST_F(StandIn, AReaderThatNeverPausesStillLetsAWriterIn) {
    make_notes_db(dir.file("busy.nsf"), {{4, 1, utc_ms("2026-11-30T10:00:00Z"), 1}});
    DbHandle db = open("busy.nsf");
    std::atomic<int> writer_rc{-1};
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        writer_rc =
            write_beside(dir.file("busy.nsf"), "INSERT INTO notes VALUES (8, 1, 0, 0)", 2000);
    });
    NoteOriginRecord origin;
    NotesTime modified;
    NoteClass note_class;
    long lookups = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_EQ(nn_note_info(db, 4, &origin, &modified, &note_class), 549);
        ++lookups;
    }
    writer.join();
    EXPECT_EQ(writer_rc.load(), SQLITE_OK);
    EXPECT_GT(lookups, 1024);
    EXPECT_EQ(nn_note_info(db, 8, &origin, &modified, &note_class), 0);
    nn_db_close(db);
}

// Memory that runs out while a table of IDs grows (three chunks of them,
// and a bounded query that keeps what it reads) gives a status, never an
// exception across the library's C boundary; each allocation fails in turn.
TEST_F(StandIn, AllocationFailuresGiveAStatusNeverAnException) {
    const std::string file = dir.file("alloc.nsf");
    make_notes_db(file, {});
    exec_sql(file, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                   "WHERE i < 140000) INSERT INTO notes SELECT i, 1, 1700000000000 + i, "
                   "i % 3 = 0 FROM n");
    const NotesTime since = at("2023-01-01T00:00:00Z");
    for (long n = 1;; ++n) {
        SCOPED_TRACE(n);
        DbHandle db{};
        NotesStatus opened = 0xFFFF;
        g_fail_allocation = n;
        EXPECT_NO_THROW(opened = nn_db_open(file.c_str(), &db));
        IdTableHandle table{};
        NotesTime until;
        NotesStatus queried = 0xFFFF;
        if (opened == 0) {
            EXPECT_NO_THROW(queried = nn_db_modified_ids(db, 0x7FFF, since, &until, &table));
        }
        const bool reached = g_fail_allocation.load() == 0;
        g_fail_allocation = 0;
        EXPECT_TRUE(opened == 0 || opened == 0x0107) << opened;
        if (opened == 0) {
            EXPECT_TRUE(queried == 0 || queried == 0x0107) << queried;
            if (queried == 0) {
                EXPECT_EQ(nn_idtable_count(table), 140000u);
                nn_idtable_free(table);
            }
            nn_db_close(db);
        }
        if (!reached) {
            EXPECT_EQ(queried, 0);
            break;
        }
    }
}

TEST_F(StandIn, InjectedFaultsHitTheNthCallOnly) {
    nn_notes_term();
    setenv("NOTES_FAIL", "build_db_path#2=0x1F,db_version=7", 1);
    char prog[] = "test";
    char* argv[] = {prog, nullptr};
    ASSERT_EQ(nn_notes_init(1, argv), 0);
    char path[256];
    EXPECT_EQ(nn_build_db_path(0, "", "a", path), 0);
    EXPECT_EQ(nn_build_db_path(0, "", "a", path), 0x1F);
    EXPECT_EQ(nn_build_db_path(0, "", "a", path), 0);
    std::uint16_t version;
    EXPECT_EQ(nn_db_version(DbHandle{}, &version), 7);
    EXPECT_EQ(nn_db_version(DbHandle{}, &version), 7);
    unsetenv("NOTES_FAIL");
}

} // namespace
