// Access levels read from a database.
#include <sqlite3.h>

#include "standin/access.h"

namespace nn {

Access parse_access(const unsigned char* text) {
    static const char* const names[] = {"reader", "author", "editor", "designer", "manager"};
    if (text == nullptr) {
        return ACCESS_NONE;
    }
    for (int i = 0; i < 5; ++i) {
        if (sqlite3_stricmp(reinterpret_cast<const char*>(text), names[i]) == 0) {
            return static_cast<Access>(i + 1);
        }
    }
    return ACCESS_NONE;
}

} // namespace nn
