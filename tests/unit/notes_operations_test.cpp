// The list of the library's operations against the other places that number
// them: nNOTES.def, from which the Windows import library and the stand-in
// DLL's exports are made, and the copy of the list that CMake reads for the
// checks of the Windows binaries.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "notes/notes_operations.h"

namespace {

struct Operation {
    std::string name;
    int ordinal;
};

const std::vector<Operation> listed = {
#define LISTED_OPERATION(name, ordinal) {#name, ordinal},
    NOTES_OPERATIONS(LISTED_OPERATION)
#undef LISTED_OPERATION
};

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What keeps a module-definition file from exporting exactly the listed
// operations, each as nn_<name> at its ordinal and by number only; empty when
// nothing does.
std::vector<std::string> def_disagreements(const std::string& def) {
    std::vector<std::string> problems;
    std::map<std::string, int> exported; // link name -> ordinal
    std::set<int> ordinals;
    bool library_named = false;
    bool in_exports = false;
    std::istringstream lines(def);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find(';'));
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) {
            continue;
        }
        if (first == "LIBRARY") {
            std::string library;
            library_named = (words >> library) && library == "nNOTES.dll";
            continue;
        }
        if (first == "EXPORTS") {
            in_exports = true;
            continue;
        }
        std::string at, noname, rest;
        words >> at >> noname;
        if (!in_exports || at.size() < 2 || at[0] != '@' ||
            at.find_first_not_of("0123456789", 1) != std::string::npos) {
            problems.push_back("cannot read the line \"" + line + "\"");
            continue;
        }
        const int ordinal = std::stoi(at.substr(1));
        if (noname != "NONAME" || (words >> rest)) {
            problems.push_back(first + " is not exported by number only");
        }
        if (!exported.emplace(first, ordinal).second) {
            problems.push_back(first + " is exported twice");
        }
        if (!ordinals.insert(ordinal).second) {
            problems.push_back("ordinal " + std::to_string(ordinal) + " is exported twice");
        }
    }
    if (!library_named) {
        problems.push_back("LIBRARY is not nNOTES.dll");
    }
    std::set<std::string> link_names;
    for (const Operation& op : listed) {
        const std::string link_name = "nn_" + op.name;
        link_names.insert(link_name);
        auto it = exported.find(link_name);
        if (it == exported.end()) {
            problems.push_back(link_name + " is missing");
        } else if (it->second != op.ordinal) {
            problems.push_back(link_name + " is @" + std::to_string(it->second) + ", listed @" +
                               std::to_string(op.ordinal));
        }
    }
    for (const auto& [link_name, ordinal] : exported) {
        if (link_names.count(link_name) == 0) {
            problems.push_back(link_name + " @" + std::to_string(ordinal) + " is not listed");
        }
    }
    return problems;
}

std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += problem + "\n";
    }
    return text;
}

// The text with its first `from` replaced by `to`; fails the test when the
// text has no `from`, so that a case never silently tests the file as it is.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(NotesOperations, ListHasDistinctOrdinals) {
    std::set<int> ordinals;
    for (const Operation& op : listed) {
        EXPECT_TRUE(ordinals.insert(op.ordinal).second) << op.name << " @" << op.ordinal;
    }
}

TEST(NotesOperations, ModuleDefinitionExportsEachOperationAtItsListedOrdinal) {
    const std::string def = read_file(NOTES_DEF_FILE);
    ASSERT_FALSE(def.empty()) << NOTES_DEF_FILE;
    EXPECT_EQ(joined(def_disagreements(def)), "");
}

// The comparison notices each way the file can drift from the list.
TEST(NotesOperations, ComparisonNoticesEveryDisagreement) {
    const std::string def = read_file(NOTES_DEF_FILE);
    ASSERT_FALSE(def.empty()) << NOTES_DEF_FILE;
    struct Case {
        const char* what;
        std::string def;
        const char* problem;
    };
    const std::string swapped =
        replaced(replaced(def, "nn_db_close ", "nn_TMP "), "nn_idtable_free ", "nn_db_close ");
    const Case cases[] = {
        {"two names swap ordinals", replaced(swapped, "nn_TMP ", "nn_idtable_free "),
         "nn_db_close is @861, listed @2001\nnn_idtable_free is @2001, listed @861\n"},
        {"an ordinal changes", replaced(def, "@2118", "@2119"),
         "nn_db_modified_ids is @2119, listed @2118\n"},
        {"an operation is missing", replaced(def, "nn_time_now ", "; nn_time_now "),
         "nn_time_now is missing\n"},
        {"an operation is unknown", def + "    nn_extra @9999 NONAME\n",
         "nn_extra @9999 is not listed\n"},
        {"an operation is exported twice", def + "    nn_time_now @165 NONAME\n",
         "nn_time_now is exported twice\nordinal 165 is exported twice\n"},
        {"an ordinal is exported twice", def + "    nn_extra @13 NONAME\n",
         "ordinal 13 is exported twice\nnn_extra @13 is not listed\n"},
        {"an export keeps its name", replaced(def, "@13   NONAME", "@13"),
         "nn_notes_term is not exported by number only\n"},
        {"another library", replaced(def, "LIBRARY nNOTES.dll", "LIBRARY other.dll"),
         "LIBRARY is not nNOTES.dll\n"},
        {"an unreadable line", def + "    nn_time_now 165 NONAME\n",
         "cannot read the line \"    nn_time_now 165 NONAME\"\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(joined(def_disagreements(c.def)), c.problem) << c.what;
    }
}

// The checks of the Windows binaries take the ordinals from the list as CMake
// reads it; CMake must read the list the compiler reads.
TEST(NotesOperations, CMakeReadsTheListTheCompilerReads) {
    std::string compiled;
    for (const Operation& op : listed) {
        compiled += (compiled.empty() ? "" : ",") + op.name + "=" + std::to_string(op.ordinal);
    }
    EXPECT_EQ(std::string(NOTES_OPERATIONS_READ_BY_CMAKE), compiled);
}

} // namespace
