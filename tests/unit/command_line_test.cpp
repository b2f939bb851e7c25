#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "tests/support/capture_output.h"

namespace {

struct ParseCase {
    std::vector<std::string> args; // after the program name
    ParseOutcome outcome;
    std::int32_t start_days;
    std::int32_t end_days;
    std::int32_t show_progress;
    std::uint16_t actions;
    const char* server;
    const char* db;
    bool shows_usage;
    bool shows_not_enough;
};

ParseOutcome parse(const std::vector<std::string>& args, std::string* output) {
    std::vector<std::string> storage{"tarnwick"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) {
        argv.push_back(s.data());
    }
    CapturedOutput out;
    ParseOutcome outcome = parse_command_line(static_cast<int>(argv.size()), argv.data());
    *output = out.text();
    return outcome;
}

constexpr std::uint16_t L = ACTION_LIST;
constexpr std::uint16_t R = ACTION_REMOVE;

// clang-format off
const ParseCase parse_cases[] = {
    // args                                     outcome      start  end   d  act  server  db     usage  missing
    {{},                                         PARSE_STOP,  -1,    -1,   0, 0,   "",     "",    true,  false},
    {{"/l", "/r"},                               PARSE_FAILED,-1,    -1,   0, L|R, "",     "",    true,  true},
    {{"db", "/?"},                               PARSE_STOP,  -1,    -1,   0, 0,   "",     "",    true,  false},
    {{"/?", "db"},                               PARSE_STOP,  -1,    -1,   0, 0,   "",     "",    true,  false},
    {{"-?"},                                     PARSE_STOP,  -1,    -1,   0, 0,   "",     "",    true,  false},
    {{"db"},                                     PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"-", "/", "db"},                           PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/S:7"},                             PARSE_GO,    7,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/start:7"},                         PARSE_GO,    7,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s"},                               PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:"},                              PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:abc"},                           PARSE_GO,    0,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:-3"},                            PARSE_GO,    -3,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:12abc"},                         PARSE_GO,    12,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:5:6"},                           PARSE_GO,    5,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s::5"},                            PARSE_GO,    0,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s5"},                              PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:5", "/s"},                       PARSE_GO,    5,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:5", "/s:9"},                     PARSE_GO,    9,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s: \t+42"},                        PARSE_GO,    42,    -1,   0, 0,   "",     "db",  false, false},
    {{"db", "/s:+-4"},                           PARSE_GO,    0,     -1,   0, 0,   "",     "db",  false, false},
    {{"db", "-e:14", "-E:3"},                    PARSE_GO,    -1,    3,    0, 0,   "",     "db",  false, false},
    {{"db", "/s:2147483647"},                    PARSE_GO,    2147483647, -1, 0, 0, "",   "db",  false, false},
    {{"db", "/e:2147483648"},                    PARSE_GO,    -1,    2147483647, 0, 0, "", "db",  false, false},
    {{"db", "/e:4294967297"},                    PARSE_GO,    -1,    2147483647, 0, 0, "", "db",  false, false},
    {{"db", "/s:-2147483648"},                   PARSE_GO,    -2147483647 - 1, -1, 0, 0, "", "db", false, false},
    {{"db", "/s:-99999999999999999999"},         PARSE_GO,    -2147483647 - 1, -1, 0, 0, "", "db", false, false},
    {{"db", "/D"},                               PARSE_GO,    -1,    -1,   1, 0,   "",     "db",  false, false},
    {{"db", "/d", "/D", "/list", "-Remove"},     PARSE_GO,    -1,    -1,   1, L|R, "",     "db",  false, false},
    {{"db", "/x", "/", "-q:5"},                  PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{"srv", "db", "third"},                     PARSE_GO,    -1,    -1,   0, 0,   "srv",  "db",  false, false},
    {{"/l", "srv", "/r", "db"},                  PARSE_GO,    -1,    -1,   0, L|R, "srv",  "db",  false, false},
    {{"", "db"},                                 PARSE_GO,    -1,    -1,   0, 0,   "",     "db",  false, false},
    {{""},                                       PARSE_GO,    -1,    -1,   0, 0,   "",     "",    false, false},
};
// clang-format on

TEST(ParseCommandLine, TableOfCases) {
    for (const ParseCase& c : parse_cases) {
        std::string joined;
        for (const auto& a : c.args) {
            joined += "[" + a + "]";
        }
        SCOPED_TRACE(joined);
        std::string output;
        EXPECT_EQ(parse(c.args, &output), c.outcome);
        EXPECT_EQ(run_settings.start_days, c.start_days);
        EXPECT_EQ(run_settings.end_days, c.end_days);
        EXPECT_EQ(run_settings.show_progress, c.show_progress);
        EXPECT_EQ(run_settings.action_flags, c.actions);
        if (c.outcome == PARSE_GO) {
            EXPECT_STREQ(run_settings.server_name, c.server);
            EXPECT_STREQ(run_settings.db_name, c.db);
            EXPECT_EQ(output, "");
        }
        EXPECT_EQ(output.find("USAGE: tarnwick") != std::string::npos, c.shows_usage);
        EXPECT_EQ(output.rfind("** Not enough arguments! **\n", 0) == 0, c.shows_not_enough);
    }
}

TEST(ParseCommandLine, UsageTextIsExact) {
    std::string output;
    parse({}, &output);
    EXPECT_EQ(output,
              "Counts, lists, and optionally removes deletion stubs from a database.\n\n"
              "USAGE: tarnwick [ServerName] <DbName> [/d] [/l] [/r] [/s:days] [/e:days]\n\n"
              "  ServerName      [optional] The name of the server that the database is on.\n"
              "  DbName          The name of the database to examine.\n"
              "  /d              Display occasional progress as the stubs are counted.\n"
              "  /l              List information about the deletion stubs.\n"
              "  /r              Remove all deletion stubs that match the date criteria.\n"
              "  /s:days         Get deletion stubs that are this many days old or newer.\n"
              "  /e:days         Get deletion stubs that are this many days old or older.\n"
              "\nIf the server or database name contains spaces, enclose it in quotation marks.\n"
              "You must have at least Editor access to remove deletion stubs. You can also\n"
              "use a combination of the /s and /e options to specify a date range - for\n"
              "example, /s:14 /e:7 gets stubs created in the last 7 to 14 days, /s:1 /e:1\n"
              "gets stubs created yesterday, and /s:0 /e:0 gets stubs created today. To see\n"
              "stubs created in the future, don't use the /e option.\n"
              "\n"
              "tarnwick - deletion stub survey for Notes databases\n"
              "version 1.3\n");
}

TEST(ParseCommandLine, NamesUpTo255CharactersAreTakenLongerOnesRefused) {
    const std::string n255(255, 'a');
    const std::string n256(256, 'b');
    std::string output;

    EXPECT_EQ(parse({n255, n255}, &output), PARSE_GO);
    EXPECT_EQ(std::string(run_settings.server_name), n255);
    EXPECT_EQ(std::string(run_settings.db_name), n255);

    EXPECT_EQ(parse({n256}, &output), PARSE_FAILED);
    EXPECT_EQ(output, "** The database name is longer than 255 characters! **\n");

    EXPECT_EQ(parse({n256, "db"}, &output), PARSE_FAILED);
    EXPECT_EQ(output, "** The server name is longer than 255 characters! **\n");

    EXPECT_EQ(parse({"srv", std::string(100000, 'c')}, &output), PARSE_FAILED);
    EXPECT_EQ(output, "** The database name is longer than 255 characters! **\n");

    // A surplus name is ignored, however long; /? still wins.
    EXPECT_EQ(parse({"srv", "db", n256}, &output), PARSE_GO);
    EXPECT_EQ(parse({n256, "/?"}, &output), PARSE_STOP);
}

} // namespace
