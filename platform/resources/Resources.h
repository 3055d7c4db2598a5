#pragma once
// Data compiled into the program: every file resources/<TYPE>/<NAME> of the
// source tree becomes an entry found by name and type.
#include <cstddef>
#include <span>
#include <string_view>

struct ResourceEntry {
    const char* type;
    const char* name;
    const unsigned char* data;
    size_t size;
};

// The bytes of the resource, or an empty span when there is none. Names and
// types compare without regard to ASCII case.
std::span<const unsigned char> FindResource(std::string_view name, std::string_view type);

// Adds a further table, searched after the program's own. Tables generated
// for test programs register themselves; the entries must live until exit.
void RegisterResourceTable(const ResourceEntry* entries, size_t count);
