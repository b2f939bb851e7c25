// The built tool on real database files: counting, the day window, the
// listing and every way a database can fail to be read.
#include "tests/e2e/e2e_fixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class Survey : public ToolTest {
  protected:
    void SetUp() override { make_notes_db(db("names.nsf"), sample_notes()); }
};

TEST_F(Survey, CountsEveryStub) {
    ProcessResult r = run({"names.nsf"});
    EXPECT_EQ(r.out, "\n" + count_lines(4));
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(Survey, ListsStubsWithDateAndType) {
    ProcessResult r = run({"names.nsf", "/l"});
    EXPECT_EQ(r.out, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
                     "ID: 0x00000004\t2026-12-01 08:00:00 +0000\tDocument\n"
                     "ID: 0x0000000c\t2026-11-28 00:00:00 +0000\tView\n"
                     "ID: 0x00000010\t2026-11-21 23:59:59 +0000\tForm\n"
                     "ID: 0x00000018\t2025-06-01 10:30:00 +0000\tUnrecognized Class\n"
                     "\n" +
                         count_lines(4));
}

TEST_F(Survey, DayWindowInUtc) {
    const struct {
        std::vector<std::string> window;
        int stubs;
    } cases[] = {
        {{"/s:0", "/e:0"}, 1},  {{"/s:3", "/e:3"}, 1},  {{"/s:10", "/e:10"}, 1},
        {{"/s:9"}, 2},          {{"/s:10"}, 3},         {{"/e:3"}, 3},
        {{"/e:11"}, 1},         {{"/s:1", "/e:1"}, 0},  {{"/s:2147483647"}, 4},
        {{"/e:2147483647"}, 0}, {{"/s:-1", "/e:4"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window[0]);
        std::vector<std::string> args{"names.nsf"};
        args.insert(args.end(), c.window.begin(), c.window.end());
        ProcessResult r = run(args);
        EXPECT_EQ(r.out, "\n" + count_lines(c.stubs));
        EXPECT_EQ(r.exit_code, 0);
    }
}

// Days are the administrator's local calendar days: the same stubs fall on
// other days east and west of UTC.
TEST_F(Survey, DayWindowFollowsTheLocalTimeZone) {
    // New York, UTC-5 in December: now is 07:00 on 1 December; stub 12
    // (00:00 UTC on the 28th) was deleted on the 27th, four days back.
    env["TZ"] = "EST5EDT,M3.2.0,M11.1.0";
    EXPECT_EQ(run({"names.nsf", "/s:3", "/e:3"}).out, "\n" + count_lines(0));
    EXPECT_EQ(run({"names.nsf", "/s:4", "/e:4"}).out, "\n" + count_lines(1));
    ProcessResult listed = run({"names.nsf", "/l", "/s:4", "/e:4"});
    EXPECT_NE(listed.out.find("ID: 0x0000000c\t2026-11-27 19:00:00 -0500\tView\n"),
              std::string::npos);

    // Tokyo, UTC+9: now is 21:00 on 1 December; stub 16 (23:59:59 UTC on the
    // 21st) was deleted on the 22nd, nine days back.
    env["TZ"] = "JST-9";
    EXPECT_EQ(run({"names.nsf", "/s:9", "/e:9"}).out, "\n" + count_lines(1));
    EXPECT_EQ(run({"names.nsf", "/s:10", "/e:10"}).out, "\n" + count_lines(0));

    // Just after local midnight "today" has begun: a stub from 23:30 local
    // time the evening before is one day old.
    env["NOTES_NOW"] = "2026-12-01T15:10:00Z"; // 00:10 on the 2nd in Tokyo
    make_notes_db(db("midnight.nsf"), {{4, 1, utc_ms("2026-12-01T14:30:00Z"), 1}});
    EXPECT_EQ(run({"midnight.nsf", "/s:0", "/e:0"}).out, "\n" + count_lines(0));
    EXPECT_EQ(run({"midnight.nsf", "/s:1", "/e:1"}).out, "\n" + count_lines(1));
}

TEST_F(Survey, BytesPerStubFromTheDatabaseVersion) {
    for (auto [version, bytes] : {std::pair{118, 64}, {119, 88}, {147, 88}, {148, 100}}) {
        exec_sql(db("names.nsf"), "UPDATE db_info SET version = " + std::to_string(version));
        EXPECT_EQ(run({"names.nsf"}).out, "\n" + count_lines(4, bytes));
    }
    exec_sql(db("names.nsf"), "DELETE FROM db_info");
    EXPECT_EQ(run({"names.nsf"}).out,
              "\n4 stubs found\nTotal space used @ 0 bytes per stub = 0 bytes\n");
}

TEST_F(Survey, NoNotesAtAllPrintsOnlyTheCount) {
    make_notes_db(db("empty.nsf"), {});
    for (const char* action : {"/l", "/r", "/d"}) {
        ProcessResult r = run({"empty.nsf", action});
        EXPECT_EQ(r.out, count_lines(0));
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST_F(Survey, OnlyLiveNotesGiveAnEmptyListing) {
    make_notes_db(db("live.nsf"), {{4, 1, utc_ms("2026-11-30T00:00:00Z"), 0}});
    EXPECT_EQ(run({"live.nsf", "/l"}).out,
              "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n\n" + count_lines(0));
}

TEST_F(Survey, ServerDatabasesLiveUnderTheServersDirectory) {
    fs::create_directories(dir.file("servers/Mail01/mail"));
    make_notes_db(dir.file("servers/Mail01/mail/jdoe.nsf"), sample_notes());
    EXPECT_EQ(run({"Mail01", "mail/jdoe.nsf", "/s:3"}).out, "\n" + count_lines(2));
    // An empty server name is a local database.
    EXPECT_EQ(run({"", "names.nsf"}).out, "\n" + count_lines(4));
}

TEST_F(Survey, NamesStartingWithASlashAreSwitchesSoAbsolutePathsComeFromTheDataDirectory) {
    TempDir elsewhere;
    make_notes_db(elsewhere.file("abs.nsf"), sample_notes());
    // On POSIX a leading '/' makes a switch, so an absolute name is written
    // with a server-less empty first name and a "//" start.
    ProcessResult r = run({"", "/" + elsewhere.file("abs.nsf")});
    EXPECT_EQ(r.exit_code, 255) << "a name that starts with '/' is a switch";
    env["NOTES_DATA"] = elsewhere.path();
    EXPECT_EQ(run({"./abs.nsf"}).out, "\n" + count_lines(4));
}

struct OpenFailure {
    const char* what;
    std::vector<std::string> args;
    std::string output;
};

TEST_F(Survey, DatabasesThatCannotBeOpenedAreReportedAndLeftAlone) {
    write_file(db("text.nsf"), "This is not a database.\n");
    write_file(db("zero.nsf"), "");
    exec_sql(db("names.nsf"), ""); // keeps the good one as it is
    make_notes_db(db("noinfo.nsf"), sample_notes());
    exec_sql(db("noinfo.nsf"), "DROP TABLE db_info");
    make_notes_db(db("nonotes.nsf"), {});
    exec_sql(db("nonotes.nsf"), "DROP TABLE notes");
    fs::create_directories(dir.file("servers/Mail01"));
    fs::create_directories(dir.file("folder.nsf"));

    const OpenFailure cases[] = {
        {"missing",
         {"missing.nsf"},
         "Unable to open database: missing.nsf\n(Error: File does not exist)\n"},
        {"text",
         {"text.nsf"},
         "Unable to open database: text.nsf\n(Error: File is not a Notes database)\n"},
        {"empty",
         {"zero.nsf"},
         "Unable to open database: zero.nsf\n(Error: File is not a Notes database: the notes or "
         "db_info table is missing)\n"},
        {"no db_info",
         {"noinfo.nsf"},
         "Unable to open database: noinfo.nsf\n(Error: File is not a Notes database: the notes or "
         "db_info table is missing)\n"},
        {"no notes",
         {"nonotes.nsf"},
         "Unable to open database: nonotes.nsf\n(Error: File is not a Notes database: the notes "
         "or db_info table is missing)\n"},
        {"directory",
         {"folder.nsf"},
         "Unable to open database: folder.nsf\n(Error: File is not a Notes database)\n"},
        {"no server",
         {"Nowhere", "names.nsf"},
         "Unable to open database: names.nsf\n(Error: Server not responding: the server cannot "
         "be reached)\n"},
        {"server escape",
         {"..", "names.nsf"},
         "Unable to open database: names.nsf\n(Error: Invalid server name)\n"},
        {"server path escape",
         {"Mail01", "../../names.nsf"},
         "Unable to open database: ../../names.nsf\n(Error: Invalid database name: it must stay "
         "within the server's directory)\n"},
    };
    for (const OpenFailure& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.path())) {
            names.push_back(e.path().string() + ":" +
                            (e.is_regular_file() ? read_file(e.path().string()) : "dir"));
        }
        ProcessResult r = run(c.args);
        EXPECT_EQ(r.out, c.output);
        EXPECT_EQ(r.exit_code, 255);
        std::vector<std::string> after;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.path())) {
            after.push_back(e.path().string() + ":" +
                            (e.is_regular_file() ? read_file(e.path().string()) : "dir"));
        }
        EXPECT_EQ(after, names) << "the run created or changed a file";
    }
}

TEST_F(Survey, LongNamesAreRefusedNeverTruncated) {
    const std::string name255 = std::string(120, 'd') + "/" + std::string(130, 'n') + ".nsf";
    fs::create_directories(dir.file(std::string(120, 'd')));
    make_notes_db(db(name255), sample_notes());
    EXPECT_EQ(run({name255}).out, "\n" + count_lines(4));

    ProcessResult r = run({name255 + "x"});
    EXPECT_EQ(r.out, "** The database name is longer than 255 characters! **\n");
    EXPECT_EQ(r.exit_code, 255);
    r = run({std::string(256, 's'), "names.nsf"});
    EXPECT_EQ(r.out, "** The server name is longer than 255 characters! **\n");
    EXPECT_EQ(r.exit_code, 255);

    // Server and name fit on their own but not together in a path.
    r = run({std::string(200, 's'), std::string(60, 'd')});
    EXPECT_EQ(r.out, "Cannot create path to database " + std::string(60, 'd') +
                         "\n\r\nDatabase path is too long (more than 255 characters)\r\n\r\n");
    EXPECT_EQ(r.exit_code, 255);
}

TEST_F(Survey, InvertedWindowIsRefusedBeforeOpening) {
    ProcessResult r = run({"missing.nsf", "/s:7", "/e:14"});
    EXPECT_EQ(r.out, "Error: the starting time range is after the ending time range\n");
    EXPECT_EQ(r.exit_code, 255);
}

TEST_F(Survey, UsageAndArgumentErrors) {
    ProcessResult r = run({});
    EXPECT_EQ(r.out.rfind("Counts, lists, and optionally removes", 0), 0u);
    EXPECT_EQ(r.exit_code, 0);
    r = run({"names.nsf", "/?"});
    EXPECT_EQ(r.out.rfind("Counts, lists, and optionally removes", 0), 0u);
    EXPECT_EQ(r.exit_code, 0);
    r = run({"/l"});
    EXPECT_EQ(r.out.rfind("** Not enough arguments! **\nCounts, lists", 0), 0u);
    EXPECT_EQ(r.exit_code, 255);
}

TEST_F(Survey, CountingAndListingNeverWriteTheFile) {
    const std::string before = read_file(db("names.nsf"));
    run({"names.nsf", "/l", "/d", "/s:20"});
    run({"names.nsf"});
    EXPECT_EQ(read_file(db("names.nsf")), before);
    EXPECT_FALSE(fs::exists(db("names.nsf-journal")));
    EXPECT_FALSE(fs::exists(db("names.nsf-wal")));
}

TEST_F(Survey, MalformedSettingsStopTheRuntimeWithTheirName) {
    const struct {
        const char* name;
        const char* value;
        const char* text;
    } cases[] = {
        {"NOTES_NOW", "yesterday", "Invalid NOTES_NOW setting"},
        {"NOTES_NOW", "2026-02-30T00:00:00Z", "Invalid NOTES_NOW setting"},
        {"NOTES_FAIL", "db_open", "Invalid NOTES_FAIL setting"},
        {"NOTES_FAIL", "no_such_op=5", "Invalid NOTES_FAIL setting"},
        {"NOTES_FAIL", "db_open#0=5", "Invalid NOTES_FAIL setting"},
        {"NOTES_DELAY", "db_open=-1", "Invalid NOTES_DELAY setting"},
        {"NOTES_DATA", "/no/such/directory", "Invalid NOTES_DATA setting"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        auto saved = env;
        env[c.name] = c.value;
        ProcessResult r = run({"names.nsf"});
        env = saved;
        EXPECT_EQ(r.out.rfind(std::string("\r\n") + c.text, 0), 0u) << r.out;
        EXPECT_NE(r.exit_code, 0);
    }
}

} // namespace

namespace {

struct ZoneCase {
    const char* tz;
    std::vector<NoteRow> rows;
    std::string listing;                                        // the lines of /l
    std::vector<std::pair<std::vector<std::string>, int>> days; // window -> stubs
};

// Local time under daylight-saving rules of both hemispheres, on Windows as
// on Linux: each stub's date and offset on either side of a clock change,
// and which day each one falls on when a window counts them.
TEST_F(Survey, DaylightSavingZonesOfBothHemispheres) {
    const ZoneCase cases[] = {
        // Sydney: summer time from the first Sunday of October to the first
        // Sunday of April. Now is 23:00 on 1 December.
        {"AEST-10AEDT,M10.1.0,M4.1.0/3",
         {{4, 1, utc_ms("2026-01-13T13:30:00Z"), 1},
          {8, 1, utc_ms("2026-04-04T15:59:59Z"), 1},
          {12, 1, utc_ms("2026-04-04T16:00:00Z"), 1},
          {16, 1, utc_ms("2026-07-14T00:00:00Z"), 1},
          {20, 1, utc_ms("2026-10-03T15:59:59Z"), 1},
          {24, 1, utc_ms("2026-10-03T16:00:00Z"), 1}},
         "ID: 0x00000004\t2026-01-14 00:30:00 +1100\tDocument\n"
         "ID: 0x00000008\t2026-04-05 02:59:59 +1100\tDocument\n"
         "ID: 0x0000000c\t2026-04-05 02:00:00 +1000\tDocument\n"
         "ID: 0x00000010\t2026-07-14 10:00:00 +1000\tDocument\n"
         "ID: 0x00000014\t2026-10-04 01:59:59 +1000\tDocument\n"
         "ID: 0x00000018\t2026-10-04 03:00:00 +1100\tDocument\n",
         {{{"/s:321", "/e:321"}, 1},
          {{"/s:240", "/e:240"}, 2},
          {{"/s:58", "/e:58"}, 2},
          {{"/s:140", "/e:139"}, 1}}},
        // Central Europe: summer time from the last Sunday of March to the
        // last Sunday of October, changed at 01:00 UTC (weeks apart from the
        // American dates). Now is 13:00 on 1 December.
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         {{4, 1, utc_ms("2026-03-20T12:00:00Z"), 1},
          {8, 1, utc_ms("2026-03-29T00:59:59Z"), 1},
          {12, 1, utc_ms("2026-03-29T01:00:00Z"), 1},
          {16, 1, utc_ms("2026-07-01T22:30:00Z"), 1},
          {20, 1, utc_ms("2026-10-25T00:59:59Z"), 1},
          {24, 1, utc_ms("2026-10-25T01:00:00Z"), 1},
          {28, 1, utc_ms("2026-10-30T12:00:00Z"), 1}},
         "ID: 0x00000004\t2026-03-20 13:00:00 +0100\tDocument\n"
         "ID: 0x00000008\t2026-03-29 01:59:59 +0100\tDocument\n"
         "ID: 0x0000000c\t2026-03-29 03:00:00 +0200\tDocument\n"
         "ID: 0x00000010\t2026-07-02 00:30:00 +0200\tDocument\n"
         "ID: 0x00000014\t2026-10-25 02:59:59 +0200\tDocument\n"
         "ID: 0x00000018\t2026-10-25 02:00:00 +0100\tDocument\n"
         "ID: 0x0000001c\t2026-10-30 13:00:00 +0100\tDocument\n",
         {{{"/s:152", "/e:152"}, 1},
          {{"/s:153", "/e:153"}, 0},
          {{"/s:247", "/e:247"}, 2},
          {{"/s:37", "/e:32"}, 3}}},
    };
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.tz);
        env["TZ"] = c.tz;
        make_notes_db(db("zone.nsf"), c.rows);
        ProcessResult r = run({"zone.nsf", "/l"});
        EXPECT_EQ(r.out, "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n" + c.listing + "\n" +
                             count_lines(static_cast<int>(c.rows.size())));
        for (const auto& [window, stubs] : c.days) {
            SCOPED_TRACE(window[0] + " " + window[1]);
            std::vector<std::string> args{"zone.nsf"};
            args.insert(args.end(), window.begin(), window.end());
            EXPECT_EQ(run(args).out, "\n" + count_lines(stubs));
        }
        fs::remove(db("zone.nsf"));
    }
}

// An injected status is what the operation returns, 0 included, and nothing
// else is done: a note_info that answers 0 describes no stub, and a
// note_delete that answers 0 removes nothing.
TEST_F(Survey, InjectedZeroStatusReplacesTheOperation) {
    const std::string before = read_file(db("names.nsf"));
    const struct {
        const char* fail;
        std::vector<std::string> args;
        std::string out;
        int exit_code = 0;
    } cases[] = {
        {"note_info=0",
         {"names.nsf", "/l"},
         "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
         "ID: 0x00000004\t no info\nID: 0x0000000c\t no info\n"
         "ID: 0x00000010\t no info\nID: 0x00000018\t no info\n\n" +
             count_lines(4)},
        // A stub that is not described cannot be placed in a window, and the
        // run says so.
        {"note_info=0",
         {"names.nsf", "/l", "/r", "/s:30"},
         "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n\n0 stubs removed\n" + count_lines(0) +
             "3 deletion stubs could not be read and were not counted\n",
         255},
        // Nor is a stub that note_info did not confirm ever removed.
        {"note_info=0",
         {"names.nsf", "/l", "/r"},
         "NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n"
         "ID: 0x00000004\t no info\nUnable to remove deletion stub for note 0x00000004\n"
         "ID: 0x0000000c\t no info\nUnable to remove deletion stub for note 0x0000000c\n"
         "ID: 0x00000010\t no info\nUnable to remove deletion stub for note 0x00000010\n"
         "ID: 0x00000018\t no info\nUnable to remove deletion stub for note 0x00000018\n"
         "\n0 stubs removed\n\n4 deletion stubs could not be removed\n" +
             count_lines(4),
         255},
        {"note_delete=0", {"names.nsf", "/r"}, "\n4 stubs removed\n" + count_lines(4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fail);
        env["NOTES_FAIL"] = c.fail;
        ProcessResult r = run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_TRUE(read_file(db("names.nsf")) == before) << "the file changed";
    }
}

// A delay is waited out in full, however short: 2,001 calls slowed by 400
// microseconds each add 0.8 s to a run. The test asks for half of that over
// the quickest of two runs without them, so that the noise of one start-up
// on a busy machine cannot fail it, while a delay that is not slept at all
// (Windows sleeps in whole milliseconds, so a plain sleep of 400
// microseconds is hardly one) adds nothing.
TEST_F(Survey, DelaysShorterThanAMillisecondAreWaitedInFull) {
    std::vector<NoteRow> rows;
    for (int i = 1; i <= 2000; ++i) {
        rows.push_back({i, 1, utc_ms("2026-11-30T00:00:00Z"), 0});
    }
    make_notes_db(db("many.nsf"), rows);
    auto timed = [&] {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(run({"many.nsf"}).out, "\n" + count_lines(0));
        return std::chrono::steady_clock::now() - start;
    };
    const auto plain = std::min(timed(), timed());
    env["NOTES_DELAY"] = "idtable_next=400";
    const auto slowed = timed();
    EXPECT_GE(slowed - plain, std::chrono::microseconds(2001 * 400 / 2));
}

} // namespace
