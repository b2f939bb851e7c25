// Binds the wrappers of notes_api.h to this platform's Notes library.
#pragma once

// False when the library cannot be bound.
bool notes_bind_platform();
