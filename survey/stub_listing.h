// The listing of deletion stubs (/l).
#pragma once

#include "notes/notes_types.h"

void print_stub_header();

// One line for one matching stub: its ID, deletion date and note type, or
// "no info" when note_info did not describe it (info_status other than 549).
void print_stub_line(NoteId note_id, NotesStatus info_status, NotesTime modified,
                     NoteClass note_class);

// The name of the lowest known class bit set in note_class, or
// "Unrecognized Class".
const char* note_class_name(NoteClass note_class);
