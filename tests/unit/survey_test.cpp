// The survey and its walk through the scripted fake: window, query bound,
// statuses, space estimate, listing and removal.
#include <gtest/gtest.h>

#include "app/exit_status.h"
#include "survey/stub_listing.h"
#include "tests/unit/fake_notes.h"
#include "tests/unit/run_tool.h"

namespace {

constexpr std::int32_t TODAY = 20000;
constexpr std::uint32_t S = STUB_FLAG;

std::string counted(int stubs, int bytes_per_stub = 100) {
    return std::to_string(stubs) + " stubs found\nTotal space used @ " +
           std::to_string(bytes_per_stub) +
           " bytes per stub = " + std::to_string(static_cast<long long>(stubs) * bytes_per_stub) +
           " bytes\n";
}

// A table of three stubs (IDs 4, 8, 12) deleted 0, 3 and 10 days ago, and two
// live notes.
FakeScript& three_stubs() {
    FakeScript& f = fake_notes_install();
    f.today = TODAY;
    f.ids = {S | 4, 6, S | 8, 10, S | 12};
    f.info[4] = {549, TODAY, 0x0001};
    f.info[8] = {549, TODAY - 3, 0x0008};
    f.info[12] = {549, TODAY - 10, 0x0004};
    return f;
}

TEST(Survey, CountsEveryStubWithoutBoundsAndReadsNoNoteInfo) {
    FakeScript& f = three_stubs();
    ToolRun run = run_startup({"db.nsf"});
    EXPECT_EQ(run.output, "\n" + counted(3));
    EXPECT_EQ(run.exit_status, EXIT_OK);
    EXPECT_TRUE(f.info_calls.empty());
    EXPECT_EQ(f.path, "!!db.nsf");
    EXPECT_EQ(f.table_frees, 1);
    EXPECT_EQ(f.close_calls, 1);
}

struct WindowCase {
    std::vector<std::string> switches;
    int expected; // stubs counted of the three
};

TEST(Survey, DayWindowComparesWholeDays) {
    const WindowCase cases[] = {
        {{"/s:0", "/e:0"}, 1}, // today only
        {{"/s:3", "/e:3"}, 1}, // exactly 3 days ago
        {{"/s:3"}, 2},         // 0 and 3 days old
        {{"/s:2"}, 1},
        {{"/e:3"}, 2}, // 3 and 10 days old
        {{"/e:11"}, 0},
        {{"/s:10", "/e:1"}, 2},
        {{"/s:-1", "/e:9"}, 1}, // a negative start is no start bound
        {{"/s:9", "/e:-5"}, 2},
        {{"/s:2147483647"}, 3}, // everything
        {{"/e:2147483647"}, 0}, // nothing
        {{"/s:2147483647", "/e:0"}, 3},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.switches[0] + (c.switches.size() > 1 ? " " + c.switches[1] : ""));
        three_stubs();
        std::vector<std::string> args = {"db.nsf"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        ToolRun run = run_startup(args);
        EXPECT_EQ(run.output, "\n" + counted(c.expected));
        EXPECT_EQ(run.exit_status, EXIT_OK);
        EXPECT_EQ(fake_script().info_calls.size(), 3u);
    }
}

TEST(Survey, FutureStubsMatchAStartBoundWithoutEnd) {
    FakeScript& f = three_stubs();
    f.info[4].day = TODAY + 5;
    EXPECT_EQ(run_startup({"db.nsf", "/s:0"}).output, "\n" + counted(1));
    three_stubs().info[4].day = TODAY + 5;
    EXPECT_EQ(run_startup({"db.nsf", "/s:0", "/e:0"}).output, "\n" + counted(0));
}

const std::string unread_line = "1 deletion stubs could not be read and were not counted\n";

// A stub whose date cannot be read never matches a bounded window, and the
// run says so and fails instead of printing a count that is silently low.
TEST(Survey, StubsWhoseDateCannotBeReadUnderABoundAreOwnedUpTo) {
    const struct {
        const char* what;
        NotesStatus info_status; // note_info's answer for stub 4
        bool normalize_fails;    // the normalisation of its time fails
    } cases[] = {
        {"note_info answers 0", 0, false},
        {"note_info fails", 0x0203, false},
        {"its time cannot be normalised", 549, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeScript& f = three_stubs();
        f.info[4].status = c.info_status; // its day would be inside /s:0
        if (c.normalize_fails) {
            f.fail_nth["time_normalize"][3] = 0x0119; // after the window's start and end
        }
        ToolRun run = run_startup({"db.nsf", "/s:0", "/r"});
        EXPECT_EQ(run.output, "\n0 stubs removed\n" + counted(0) + unread_line);
        EXPECT_EQ(run.exit_status, EXIT_FAILED);
        EXPECT_TRUE(f.deleted.empty());

        // Interrupted right after it: still owned up to.
        FakeScript& g = three_stubs();
        g.info[4].status = c.info_status;
        if (c.normalize_fails) {
            g.fail_nth["time_normalize"][3] = 0x0119;
        }
        g.stop_at_id = 1;
        run = run_startup({"db.nsf", "/s:0"});
        EXPECT_EQ(run.output, "Process terminated with CTRL-C\n1 of 5 records searched\n\n" +
                                  counted(0) + unread_line);
        EXPECT_EQ(run.exit_status, EXIT_FAILED);

        // Without bounds it is still a stub, counted and listed without info.
        FakeScript& h = three_stubs();
        h.info[4].status = c.info_status;
        if (c.normalize_fails) {
            h.fail_nth["time_normalize"][2] = 0x0119; // after the window's end
        }
        run = run_startup({"db.nsf", "/l"});
        const std::string first = c.info_status == 549 ? "ID: 0x00000004\tday 20000\tDocument\n"
                                                       : "ID: 0x00000004\t no info\n";
        EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n" + first +
                                  "ID: 0x00000008\tday 19997\tView\n"
                                  "ID: 0x0000000c\tday 19990\tForm\n\n" +
                                  counted(3));
        EXPECT_EQ(run.exit_status, EXIT_OK);
    }
}

// The window is computed from the time operations whose results it uses, or
// the run refuses before the database is opened.
TEST(Survey, AWindowThatCannotBeComputedIsRefused) {
    const struct {
        std::vector<std::string> args;
        const char* op;
        int nth;
        bool refused;
        int expected; // stubs counted when the run goes on
    } cases[] = {
        {{"/s:3"}, "time_normalize", 1, true, 0},       // the start's normalisation
        {{"/s:3"}, "time_adjust", 1, true, 0},          // the start's move
        {{"/e:1", "/r"}, "time_normalize", 1, true, 0}, // the end's normalisation
        {{"/e:1", "/r"}, "time_adjust", 1, true, 0},    // the end's move
        {{"/s:10", "/e:1"}, "time_adjust", 2, true, 0}, // the end's move after the start's
        {{"/s:3"}, "time_normalize", 2, false, 2},      // the end, which /s alone does not use
        {{}, "time_normalize", 1, false, 3},            // no bound uses no time at all
        {{"/s:3"}, "time_adjust", 2, false, 2},         // the query bound: unbounded instead
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.op) + "#" + std::to_string(c.nth) +
                     (c.args.empty() ? "" : " " + c.args[0]));
        FakeScript& f = three_stubs();
        f.fail_nth[c.op][c.nth] = 0x0119;
        std::vector<std::string> args = {"db.nsf"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolRun run = run_startup(args);
        if (c.refused) {
            EXPECT_EQ(run.output, "Unable to compute the day window\n(Error: fake status 281)\n");
            EXPECT_EQ(run.exit_status, EXIT_FAILED);
            EXPECT_EQ(f.open_calls, 0);
            EXPECT_EQ(f.term_calls, 1);
        } else {
            const bool removing = c.args.size() > 1 && c.args[1] == "/r";
            EXPECT_EQ(run.output, (removing ? "\n" + std::to_string(c.expected) + " stubs removed\n"
                                            : std::string("\n")) +
                                      counted(c.expected));
            EXPECT_EQ(run.exit_status, EXIT_OK);
        }
    }
    // A query bound that cannot be computed leaves the query unbounded.
    FakeScript& f = three_stubs();
    f.fail_nth["time_adjust"][2] = 0x0119;
    run_startup({"db.nsf", "/s:3"});
    EXPECT_EQ(f.since.words[1], 0x80000000u);
}

TEST(Survey, QueryBoundIsTheDayBeforeAPositiveStart) {
    struct BoundCase {
        std::vector<std::string> args;
        bool wildcard;
        std::int32_t day;
    } cases[] = {
        {{"db"}, true, 0},
        {{"db", "/s:0"}, true, 0},
        {{"db", "/e:4"}, true, 0},
        {{"db", "/s:0", "/e:0"}, true, 0},
        {{"db", "/s:1"}, false, TODAY - 2},
        {{"db", "/s:7", "/e:2"}, false, TODAY - 8},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : "none");
        FakeScript& f = three_stubs();
        run_startup(c.args);
        if (c.wildcard) {
            EXPECT_EQ(f.since.words[1], 0x80000000u);
        } else {
            EXPECT_EQ(static_cast<std::int32_t>(f.since.words[1]), c.day);
            EXPECT_EQ(f.since.words[0], 0xFFFFFFFFu);
        }
    }
}

TEST(Survey, NoModifiedNotesCountsZeroWithoutTheWalkOutput) {
    for (const char* actions : {"/d", "/l", "/r"}) {
        FakeScript& f = three_stubs();
        f.fail["db_modified_ids"] = 572;
        ToolRun run = run_startup({"db.nsf", actions});
        EXPECT_EQ(run.output, counted(0));
        EXPECT_EQ(run.exit_status, EXIT_OK);
        EXPECT_EQ(f.table_frees, 0);
        EXPECT_EQ(f.close_calls, 1);
    }
}

TEST(Survey, EmptyTablePrintsTheHeaderAndTheEmptyLine) {
    FakeScript& f = fake_notes_install();
    f.ids = {};
    ToolRun run = run_startup({"db.nsf", "/l"});
    EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n\n" + counted(0));
}

TEST(Survey, FailedQueryIsReportedWithoutCountAndEndsInFailure) {
    FakeScript& f = three_stubs();
    f.fail["db_modified_ids"] = 0x0222;
    ToolRun run = run_startup({"db.nsf", "/l"});
    EXPECT_EQ(run.output, "\nError getting deletion stubs\n(Error: fake status 546)\n");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.close_calls, 1);
}

TEST(Survey, FailedOpenIsReportedAndNothingIsClosed) {
    FakeScript& f = three_stubs();
    f.fail["db_open"] = 0x0111;
    ToolRun run = run_startup({"srv", "my db.nsf"});
    EXPECT_EQ(run.output, "Unable to open database: my db.nsf\n(Error: fake status 273)\n");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.close_calls, 0);
    EXPECT_EQ(f.term_calls, 1);
}

TEST(Survey, InvertedWindowNeverOpensTheDatabase) {
    FakeScript& f = three_stubs();
    ToolRun run = run_startup({"db.nsf", "/s:7", "/e:14"});
    EXPECT_EQ(run.output, "Error: the starting time range is after the ending time range\n");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.open_calls, 0);
}

TEST(Survey, FailedPathIsReportedBeforeTheWindowAndItsTextOnce) {
    FakeScript& f = three_stubs();
    f.fail["build_db_path"] = 0x0110;
    ToolRun run = run_startup({"db.nsf", "/s:7", "/e:14"});
    EXPECT_EQ(run.output,
              "Cannot create path to database db.nsf\n\r\nprogram: fake status 272\r\n\r\n");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.open_calls, 0);

    // A status already marked as shown prints no text.
    three_stubs().fail["build_db_path"] = 0x8110;
    run = run_startup({"db.nsf"});
    EXPECT_EQ(run.output, "Cannot create path to database db.nsf\n");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
}

TEST(Survey, BytesPerStubFollowsTheVersion) {
    const struct {
        std::uint16_t version;
        int bytes;
    } cases[] = {{0, 64}, {118, 64}, {119, 88}, {147, 88}, {148, 100}, {65535, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        three_stubs().version = c.version;
        EXPECT_EQ(run_startup({"db.nsf"}).output, "\n" + counted(3, c.bytes));
    }
    three_stubs().fail["db_version"] = 0x0119;
    ToolRun run = run_startup({"db.nsf"});
    EXPECT_EQ(run.output, "\n3 stubs found\nTotal space used @ 0 bytes per stub = 0 bytes\n");
    EXPECT_EQ(run.exit_status, EXIT_OK);
}

TEST(Survey, SpaceTotalIsNotLimitedTo32Bits) {
    FakeScript& f = fake_notes_install();
    f.synthetic_count = 25000000;
    f.synthetic_stubs = true;
    ToolRun run = run_startup({"db.nsf"});
    EXPECT_NE(run.output.find("25000000 stubs found\n"
                              "Total space used @ 100 bytes per stub = 2500000000 bytes\n"),
              std::string::npos);
}

// ---- Listing ----

TEST(Listing, ClassNameIsTheLowestKnownBit) {
    const struct {
        NoteClass note_class;
        const char* name;
    } cases[] = {
        {0x0000, "Unrecognized Class"},
        {0x0001, "Document"},
        {0x0009, "Document"},
        {0x0002, "Help-About"},
        {0x0004, "Form"},
        {0x0008, "View"},
        {0xE008, "View"},
        {0x0010, "Icon"},
        {0x0020, "Design Collection"},
        {0x0040, "ACL"},
        {0x0080, "Help index"},
        {0x0100, "Help-Using"},
        {0x0200, "Macro"},
        {0x0400, "Shared Field"},
        {0x0800, "Replication Formula"},
        {0x1000, "Private Note"},
        {0x2000, "Unrecognized Class"},
        {0x8000, "Unrecognized Class"},
        {0x1800, "Replication Formula"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(note_class_name(c.note_class), c.name) << c.note_class;
    }
}

TEST(Listing, ListsOnlyMatchingStubsAfterTheHeader) {
    three_stubs();
    ToolRun run = run_startup({"db.nsf", "/l", "/s:5"});
    EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                          "ID: 0x00000004\tday 20000\tDocument\n"
                          "ID: 0x00000008\tday 19997\tView\n"
                          "\n" +
                              counted(2));
}

// A library that reports a longer date text than the field holds, or than
// it wrote, cannot make the line overrun the field or show stack bytes.
TEST(Listing, ADateTextLengthBeyondTheFieldIsHeldToIt) {
    for (std::uint16_t length : {std::uint16_t{81}, std::uint16_t{200}, std::uint16_t{0xFFFF}}) {
        SCOPED_TRACE(length);
        FakeScript& f = three_stubs();
        f.time_text_length = length;
        ToolRun run = run_startup({"db.nsf", "/l", "/s:0"});
        EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                              "ID: 0x00000004\tday 20000\tDocument\n\n" +
                                  counted(1));
    }
}

TEST(Listing, NoteIdsPrintAsEightHexDigitsEvenForZero) {
    FakeScript& f = fake_notes_install();
    f.ids = {S | 0, S | 0x7FFFFFFF};
    ToolRun run = run_startup({"db.nsf", "/l"});
    EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                          "ID: 0x00000000\t no info\n"
                          "ID: 0x7fffffff\t no info\n\n" +
                              counted(2));
}

// ---- Removal ----

TEST(Removal, RemovesEveryMatchingStubAndReportsTheTotal) {
    FakeScript& f = three_stubs();
    ToolRun run = run_startup({"db.nsf", "/r"});
    EXPECT_EQ(run.output, "\n3 stubs removed\n" + counted(3));
    EXPECT_EQ(run.exit_status, EXIT_OK);
    EXPECT_EQ(f.deleted, (std::vector<NoteId>{4, 8, 12}));
}

TEST(Removal, OnlyStubsInsideTheWindowAreRemoved) {
    FakeScript& f = three_stubs();
    ToolRun run = run_startup({"db.nsf", "/r", "/e:3"});
    EXPECT_EQ(run.output, "\n2 stubs removed\n" + counted(2));
    EXPECT_EQ(f.deleted, (std::vector<NoteId>{8, 12}));
}

TEST(Removal, FailedRemovalsAreReportedCountedAndEndInFailure) {
    FakeScript& f = three_stubs();
    f.delete_status[8] = 0x011E;
    ToolRun run = run_startup({"db.nsf", "/r", "/l"});
    EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                          "ID: 0x00000004\tday 20000\tDocument\n"
                          "ID: 0x00000008\tday 19997\tView\n"
                          "Unable to remove deletion stub for note 0x00000008\n"
                          "(Error: fake status 286)\n"
                          "ID: 0x0000000c\tday 19990\tForm\n"
                          "\n2 stubs removed\n"
                          "\n1 deletion stubs could not be removed\n" +
                              counted(3));
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
}

TEST(Removal, EveryRemovalFailing) {
    FakeScript& f = three_stubs();
    for (NoteId id : {4u, 8u, 12u}) {
        f.delete_status[id] = 0x011E;
    }
    ToolRun run = run_startup({"db.nsf", "/r"});
    EXPECT_NE(run.output.find("\n0 stubs removed\n\n3 deletion stubs could not be removed\n" +
                              counted(3)),
              std::string::npos);
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
}

// A stub that note_info did not confirm as a deletion stub (it may have
// become a live note since the query) is never handed to note_delete.
TEST(Removal, AStubNotConfirmedByNoteInfoIsNotRemoved) {
    for (NotesStatus status : {NotesStatus{0}, NotesStatus{0x0203}}) {
        SCOPED_TRACE(status);
        FakeScript& f = three_stubs();
        f.info[8].status = status;
        ToolRun run = run_startup({"db.nsf", "/l", "/r"});
        const std::string why = status == 0 ? "" : "(Error: fake status 515)\n";
        EXPECT_EQ(run.output, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                              "ID: 0x00000004\tday 20000\tDocument\n"
                              "ID: 0x00000008\t no info\n"
                              "Unable to remove deletion stub for note 0x00000008\n" +
                                  why +
                                  "ID: 0x0000000c\tday 19990\tForm\n"
                                  "\n2 stubs removed\n"
                                  "\n1 deletion stubs could not be removed\n" +
                                  counted(3));
        EXPECT_EQ(run.exit_status, EXIT_FAILED);
        EXPECT_EQ(f.deleted, (std::vector<NoteId>{4, 12}));
    }
}

// Only the 14-bit code of a status is looked up, whatever bits lie above it.
TEST(Removal, StatusTextIsLookedUpByItsCodeAlone) {
    FakeScript& f = three_stubs();
    f.delete_status[8] = 0xC11E;
    ToolRun run = run_startup({"db.nsf", "/r"});
    EXPECT_EQ(run.output, "Unable to remove deletion stub for note 0x00000008\n"
                          "(Error: fake status 286)\n"
                          "\n2 stubs removed\n\n1 deletion stubs could not be removed\n" +
                              counted(3));
    EXPECT_EQ(f.status_text_codes, (std::vector<NotesStatus>{0x011E}));
}

} // namespace
