// Library paths ("name" or "server!!name") and the files they stand for.
#pragma once

#include <string>

#include "notes/notes_library.h"

namespace nn {

// Turns the library path into a file path: a name in the data directory
// (or absolute), or a name inside a server's directory, which must exist.
NotesStatus resolve_path(const char* path, std::string* file);

} // namespace nn
