// Removal by the built tool, checked afterwards in the file itself.
#include "tests/e2e/e2e_fixture.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <set>

namespace {

class Removal : public ToolTest {
  protected:
    void SetUp() override { make_notes_db(db("names.nsf"), sample_notes()); }

    // The rows of the sample that the run must have left: the live notes,
    // the class-less stub, and the stubs whose IDs are listed.
    std::vector<NoteRow> sample_without(const std::vector<std::int64_t>& removed) {
        std::vector<NoteRow> rows = sample_notes();
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const NoteRow& r) {
                                      return std::find(removed.begin(), removed.end(), r.note_id) !=
                                             removed.end();
                                  }),
                   rows.end());
        return rows;
    }
};

TEST_F(Removal, RemovesEveryStubTheQueryReturnsAndNothingElse) {
    ProcessResult r = run({"names.nsf", "/r"});
    EXPECT_EQ(r.out, "\n4 stubs removed\n" + count_lines(4));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(read_notes(db("names.nsf")), sample_without({4, 12, 16, 24}));
    EXPECT_EQ(integrity_check(db("names.nsf")), "ok");

    // A second run finds nothing more to do.
    r = run({"names.nsf", "/r"});
    EXPECT_EQ(r.out, "\n0 stubs removed\n" + count_lines(0));
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(Removal, OnlyStubsInsideTheWindowAreRemoved) {
    ProcessResult r = run({"names.nsf", "/r", "/l", "/s:10", "/e:3"});
    EXPECT_EQ(r.out, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                     "ID: 0x0000000c\t2026-11-28 00:00:00 +0000\tView\n"
                     "ID: 0x00000010\t2026-11-21 23:59:59 +0000\tForm\n"
                     "\n2 stubs removed\n" +
                         count_lines(2));
    EXPECT_EQ(read_notes(db("names.nsf")), sample_without({12, 16}));
}

TEST_F(Removal, ReaderAccessRemovesNothingAndSaysWhy) {
    exec_sql(db("names.nsf"), "UPDATE db_info SET access = 'reader'");
    const std::string before = read_file(db("names.nsf"));
    ProcessResult r = run({"names.nsf", "/r", "/s:3"});
    const std::string why = "(Error: You are not authorized to remove deletion stubs from this "
                            "database (at least Editor access is required))\n";
    EXPECT_EQ(r.out, "Unable to remove deletion stub for note 0x00000004\n" + why +
                         "Unable to remove deletion stub for note 0x0000000c\n" + why +
                         "\n0 stubs removed\n\n2 deletion stubs could not be removed\n" +
                         count_lines(2));
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_file(db("names.nsf")), before);
}

TEST_F(Removal, AccessLevelsFromEditorUpMayRemove) {
    const struct {
        const char* access;
        bool may_remove;
    } cases[] = {{"reader", false},  {"author", false}, {"editor", true},
                 {"Designer", true}, {"MANAGER", true}, {"nobody", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.access);
        make_notes_db(db("acl.nsf"), {{4, 1, utc_ms("2026-11-30T00:00:00Z"), 1}}, 148, c.access);
        ProcessResult r = run({"acl.nsf", "/r"});
        EXPECT_EQ(r.exit_code, c.may_remove ? 0 : 255);
        EXPECT_EQ(read_notes(db("acl.nsf")).size(), c.may_remove ? 0u : 1u);
        std::remove(db("acl.nsf").c_str());
    }
}

TEST_F(Removal, OneFailedRemovalIsReportedAndTheRestGoOn) {
    env["NOTES_FAIL"] = "note_delete#2=0x0117";
    ProcessResult r = run({"names.nsf", "/r", "/l"});
    EXPECT_EQ(r.out, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                     "ID: 0x00000004\t2026-12-01 08:00:00 +0000\tDocument\n"
                     "ID: 0x0000000c\t2026-11-28 00:00:00 +0000\tView\n"
                     "Unable to remove deletion stub for note 0x0000000c\n"
                     "(Error: Database is in use by another process; try again later)\n"
                     "ID: 0x00000010\t2026-11-21 23:59:59 +0000\tForm\n"
                     "ID: 0x00000018\t2025-06-01 10:30:00 +0000\tUnrecognized Class\n"
                     "\n3 stubs removed\n\n1 deletion stubs could not be removed\n" +
                         count_lines(4));
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_notes(db("names.nsf")), sample_without({4, 16, 24}));
}

TEST_F(Removal, NothingModifiedPrintsNoRemovalLines) {
    make_notes_db(db("empty.nsf"), {});
    ProcessResult r = run({"empty.nsf", "/r", "/l"});
    EXPECT_EQ(r.out, count_lines(0));
    EXPECT_EQ(r.exit_code, 0);
}

// A file made with the plain two tables is in rollback-journal mode; the
// removal switches it to a write-ahead log for speed and puts it back.
TEST_F(Removal, JournalModeOfThePlainFileIsRestored) {
    run({"names.nsf", "/r"});
    EXPECT_EQ(read_file(db("names.nsf")).substr(18, 2), std::string("\x01\x01", 2))
        << "file header still says WAL";
}

TEST_F(Removal, LargerRemovalLeavesEveryLiveNote) {
    std::vector<NoteRow> rows;
    for (int i = 1; i <= 3000; ++i) {
        rows.push_back({i, i % 7 == 0 ? 0x0008 : 0x0001,
                        utc_ms("2026-11-01T00:00:00Z") + i * 600000LL, i % 3 == 0 ? 1 : 0});
    }
    make_notes_db(db("big.nsf"), rows);
    ProcessResult r = run({"big.nsf", "/r", "/d"});
    EXPECT_EQ(r.out, "3000 of 3000 records searched\n\n1000 stubs removed\n" + count_lines(1000));
    EXPECT_EQ(r.exit_code, 0);
    std::vector<NoteRow> live;
    for (const NoteRow& n : rows) {
        if (n.deleted == 0) {
            live.push_back(n);
        }
    }
    EXPECT_EQ(read_notes(db("big.nsf")), live);
}

// Stubs 4, 8, 12, ... with one live note after each.
std::vector<NoteRow> many_stubs(int stubs) {
    std::vector<NoteRow> rows;
    for (int i = 1; i <= stubs; ++i) {
        rows.push_back({i * 4, 0x0001, utc_ms("2026-11-30T00:00:00Z"), 1});
        rows.push_back({i * 4 + 1, 0x0001, utc_ms("2026-11-30T00:00:00Z"), 0});
    }
    return rows;
}

std::size_t stubs_in(const std::vector<NoteRow>& rows) {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const NoteRow& r) { return r.deleted == 1; }));
}

// "tarnwick db /l /r | head -2": the reader goes, the removal stops after
// the stub in hand, and the run still frees, closes and ends, and fails.
TEST_F(Removal, AClosedOutputStopsTheRemovalAndTheRunEndsCleanly) {
    constexpr int STUBS = 10000;
    make_notes_db(db("big.nsf"), many_stubs(STUBS));
    env["NOTES_TRACE"] = dir.file("trace");
    ProcessOptions options;
    options.close_out_after_lines = 2;
    ProcessResult r = run({"big.nsf", "/l", "/r"}, options);
    EXPECT_EQ(r.term_signal, 0);
    EXPECT_EQ(r.exit_code, 255);

    const std::vector<NoteRow> left = read_notes(db("big.nsf"));
    EXPECT_EQ(left.size() - stubs_in(left), static_cast<std::size_t>(STUBS)) << "live notes";
    const std::size_t removed = STUBS - stubs_in(left);
    EXPECT_GE(removed, 1u); // the first stub's line was read
    EXPECT_LT(removed, static_cast<std::size_t>(STUBS)) << "the removal went on";
    EXPECT_NE(read_file(dir.file("trace")).find("term databases=0 tables=0 programs=0"),
              std::string::npos)
        << read_file(dir.file("trace"));
    EXPECT_EQ(integrity_check(db("big.nsf")), "ok");
}

// The output of a removal is its record: a run killed part-way has named
// every stub whose removal it tried.
TEST_F(Removal, TheLogOfAKilledRemovalNamesEveryRemovedStub) {
    constexpr int STUBS = 40;
    make_notes_db(db("big.nsf"), many_stubs(STUBS));
    env["NOTES_DELAY"] = "note_delete=30000";
    ProcessOptions options;
    bool killed = false;
    options.watch = [&](int pid, const std::string&) {
        if (!killed && stubs_in(read_notes(db("big.nsf"))) <= STUBS - 3) {
            kill(pid, SIGKILL);
            killed = true;
        }
    };
    ProcessResult r = run({"big.nsf", "/l", "/r"}, options);
    ASSERT_TRUE(killed);
    EXPECT_EQ(r.term_signal, SIGKILL);

    std::set<std::int64_t> removed;
    for (int i = 1; i <= STUBS; ++i) {
        removed.insert(i * 4);
    }
    for (const NoteRow& row : read_notes(db("big.nsf"))) {
        removed.erase(row.note_id);
    }
    EXPECT_GE(removed.size(), 3u);
    for (std::int64_t id : removed) {
        char line[32];
        std::snprintf(line, sizeof line, "ID: 0x%08llx\t", static_cast<unsigned long long>(id));
        EXPECT_NE(r.out.find(line), std::string::npos) << "removed but not in the log: " << line;
    }
}

} // namespace
