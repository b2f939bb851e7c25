// Library paths: building "server!!name" from its parts, and resolving one to
// a file, with the checks on the server and the name.
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "standin/faults.h"
#include "standin/nnotes.h"
#include "standin/paths.h"
#include "standin/settings.h"
#include "standin/status.h"
#include "standin/text.h"

namespace nn {

namespace {

namespace fs = std::filesystem;

constexpr int PATH_MAX_CHARS = 255;

bool has_parent_step(const std::string& name) {
    std::size_t begin = 0;
    while (begin <= name.size()) {
        std::size_t end = name.find_first_of("/\\", begin);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(begin, end - begin, "..") == 0 && end - begin == 2) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

} // namespace

NotesStatus resolve_path(const char* path, std::string* file) {
    std::string text = path;
    std::size_t bang = text.find("!!");
    if (bang == std::string::npos) {
        fs::path name(text);
        *file = name.is_absolute() ? text : (fs::path(settings().data_dir) / name).string();
        return ST_OK;
    }
    std::string server = text.substr(0, bang);
    std::string name = text.substr(bang + 2);
    if (server.empty() || server == "." || server == ".." ||
        server.find_first_of("/\\:") != std::string::npos) {
        return ST_BAD_SERVER_NAME;
    }
    if (name.empty() || fs::path(name).is_absolute() || fs::path(name).has_root_name() ||
        name[0] == '/' || name[0] == '\\' || has_parent_step(name)) {
        return ST_BAD_SERVER_DB_NAME;
    }
    fs::path server_dir = fs::path(settings().data_dir) / "servers" / server;
    std::error_code ec;
    if (!fs::is_directory(server_dir, ec)) {
        return ST_SERVER_UNREACHABLE;
    }
    *file = (server_dir / name).string();
    return ST_OK;
}

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_build_db_path(int, const char* server, const char* db_name, char* path_out) {
    if (NotesStatus injected = ST_OK; enter(Op::build_db_path, &injected)) {
        return injected;
    }
    if (server == nullptr || db_name == nullptr || path_out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    std::string path =
        server[0] == '\0' ? std::string(db_name) : std::string(server) + "!!" + db_name;
    if (std::strstr(server, "!!") != nullptr) {
        return ST_BAD_SERVER_NAME;
    }
    if (path.size() > PATH_MAX_CHARS) {
        return ST_PATH_TOO_LONG;
    }
    copy_text(path, path_out, PATH_MAX_CHARS, true);
    return ST_OK;
}

} // extern "C"
