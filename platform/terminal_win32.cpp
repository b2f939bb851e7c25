#include "platform/terminal.h"

#include <cstdio>
#include <io.h>

bool stdout_is_terminal() {
    return _isatty(_fileno(stdout)) != 0;
}
