#include "platform/resources/Resources.h"

#include <mutex>
#include <vector>

// Generated at build time from the resources/ folder.
extern const ResourceEntry velmoraProgramResources[];
extern const size_t velmoraProgramResourceCount;

namespace {

struct Table {
    const ResourceEntry* entries;
    size_t count;
};

std::mutex& TablesMutex()
{
    static std::mutex m;
    return m;
}

std::vector<Table>& ExtraTables()
{
    static std::vector<Table> tables;
    return tables;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

const ResourceEntry* Search(const ResourceEntry* entries, size_t count, std::string_view name, std::string_view type)
{
    for (size_t i = 0; i < count; ++i)
        if (SameName(entries[i].name, name) && SameName(entries[i].type, type))
            return &entries[i];
    return nullptr;
}

} // namespace

std::span<const unsigned char> FindResource(std::string_view name, std::string_view type)
{
    const ResourceEntry* found = Search(velmoraProgramResources, velmoraProgramResourceCount, name, type);
    if (!found) {
        std::lock_guard lock(TablesMutex());
        for (const Table& t : ExtraTables())
            if ((found = Search(t.entries, t.count, name, type)))
                break;
    }
    if (!found)
        return {};
    return {found->data, found->size};
}

void RegisterResourceTable(const ResourceEntry* entries, size_t count)
{
    std::lock_guard lock(TablesMutex());
    ExtraTables().push_back({entries, count});
}
