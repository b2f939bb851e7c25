// Facts about the process's console.
#pragma once

// True when standard output is an interactive terminal (a console window).
bool stdout_is_terminal();
