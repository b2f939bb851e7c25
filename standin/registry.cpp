// The open databases and tables of IDs, by handle. A handle is the index of
// its object in the registry plus one; 0 stands for none.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "standin/database.h"
#include "standin/id_table.h"
#include "standin/registry.h"

namespace nn {

namespace {

// The databases are never destroyed at the end of the
// process: a program that ends without notes_term leaves their watchdogs
// waiting on memory that stays valid until the process is gone.
std::vector<std::unique_ptr<Database>>& g_databases = *new std::vector<std::unique_ptr<Database>>;
std::vector<std::unique_ptr<IdTable>> g_tables;

template <typename T> T* lookup(std::vector<std::unique_ptr<T>>& registry, std::uint32_t handle) {
    if (handle == 0 || handle > registry.size()) {
        return nullptr;
    }
    return registry[handle - 1].get();
}

// The new item's handle; 0, and the item left with the caller, when memory
// runs out.
template <typename T>
std::uint32_t store(std::vector<std::unique_ptr<T>>& registry, std::unique_ptr<T>& item) {
    for (std::size_t i = 0; i < registry.size(); ++i) {
        if (!registry[i]) {
            registry[i] = std::move(item);
            return static_cast<std::uint32_t>(i + 1);
        }
    }
    try {
        registry.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    registry.back() = std::move(item);
    return static_cast<std::uint32_t>(registry.size());
}

} // namespace

// The only places where a handle becomes a number and back.
Database* find_database(DbHandle handle) {
    return lookup(g_databases, static_cast<std::uint32_t>(handle));
}

IdTable* find_table(IdTableHandle handle) {
    return lookup(g_tables, static_cast<std::uint32_t>(handle));
}

bool add_database(std::unique_ptr<Database>& db, DbHandle* handle_out) {
    const std::uint32_t handle = store(g_databases, db);
    if (handle != 0) {
        *handle_out = static_cast<DbHandle>(handle);
    }
    return handle != 0;
}

bool add_table(std::unique_ptr<IdTable>& table, IdTableHandle* handle_out) {
    const std::uint32_t handle = store(g_tables, table);
    if (handle != 0) {
        *handle_out = static_cast<IdTableHandle>(handle);
    }
    return handle != 0;
}

void drop_database(DbHandle handle) {
    g_databases[static_cast<std::uint32_t>(handle) - 1].reset();
}

void drop_table(IdTableHandle handle) {
    g_tables[static_cast<std::uint32_t>(handle) - 1].reset();
}

int open_database_count() {
    return static_cast<int>(std::count_if(g_databases.begin(), g_databases.end(),
                                          [](const auto& d) { return d != nullptr; }));
}

int open_table_count() {
    return static_cast<int>(std::count_if(g_tables.begin(), g_tables.end(),
                                          [](const auto& t) { return t != nullptr; }));
}

void close_all_databases() {
    for (auto& db : g_databases) {
        if (db) {
            close_database(db.get());
        }
    }
    g_databases.clear();
    g_tables.clear();
}

} // namespace nn
