// The access level a database grants (db_info.access).
#pragma once

namespace nn {

enum Access {
    ACCESS_NONE,
    ACCESS_READER,
    ACCESS_AUTHOR,
    ACCESS_EDITOR,
    ACCESS_DESIGNER,
    ACCESS_MANAGER
};

// The level a stored name stands for ("reader" ... "manager", in any case);
// none for a missing or unknown one.
Access parse_access(const unsigned char* text);

} // namespace nn
