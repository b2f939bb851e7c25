#include "survey/stub_listing.h"

#include "notes/notes_api.h"
#include "output/console_output.h"

namespace {

struct ClassName {
    NoteClass bit;
    const char* name;
};

// In order of precedence: a class with several known bits is named by the
// first row whose bit it carries.
constexpr ClassName class_name_table[] = {
    {0x0001, "Document"},     {0x0002, "Help-About"},   {0x0004, "Form"},
    {0x0008, "View"},         {0x0010, "Icon"},         {0x0020, "Design Collection"},
    {0x0040, "ACL"},          {0x0080, "Help index"},   {0x0100, "Help-Using"},
    {0x0200, "Macro"},        {0x0400, "Shared Field"}, {0x0800, "Replication Formula"},
    {0x1000, "Private Note"},
};

constexpr std::uint16_t DATE_TEXT_MAX = 80;

} // namespace

const char* note_class_name(NoteClass note_class) {
    for (const ClassName& row : class_name_table) {
        if ((note_class & row.bit) != 0) {
            return row.name;
        }
    }
    return "Unrecognized Class";
}

void print_stub_header() {
    out_printf("NOTE ID\t\tDELETION DATE\t\tNOTE TYPE\n");
}

void print_stub_line(NoteId note_id, NotesStatus info_status, NotesTime modified,
                     NoteClass note_class) {
    if (info_status != STATUS_NOTE_DELETED) {
        out_printf("ID: 0x%08x\t no info\n", note_id);
        return;
    }

    // Cleared first: a library that reports more than it wrote (or fails
    // half-way) leaves no stack bytes in the line.
    char date_text[DATE_TEXT_MAX + 1] = {};
    std::uint16_t length = 0;
    time_to_text(nullptr, nullptr, &modified, date_text, DATE_TEXT_MAX, &length);
    date_text[length] = '\0'; // the wrapper keeps length within the field

    out_printf("ID: 0x%08x\t%s\t%s\n", note_id, date_text, note_class_name(note_class));
}
