// Embedded resources on native Win32: the executable's own resource table
// (the .rc script made by quandrix_add_resources), read with FindResource,
// LoadResource and LockResource. The bytes stay mapped with the image.
#include "platform/resources.h"

#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace platform {

namespace {

// The system's name for a resource type: ICON is the predefined icon group
// (what an .rc's ICON statement makes); any other is a type of that name.
LPCSTR SystemType(const std::string& type) {
    return type == "ICON" ? MAKEINTRESOURCEA(14) : type.c_str();  // RT_GROUP_ICON
}

std::span<const std::byte> Lookup(const char* name, LPCSTR type) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, type);
    if (!found) return {};
    const DWORD size = SizeofResource(self, found);
    HGLOBAL loaded = size ? LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const std::byte*>(bytes), size};
}

struct Table {
    std::vector<std::string> names;  // "name\0type" pairs, kept for the entries' pointers
    std::vector<ResourceEntry> entries;
};

BOOL CALLBACK OnName(HMODULE, LPCSTR type, LPSTR name, LONG_PTR table) {
    if (IS_INTRESOURCE(name)) return TRUE;  // numbered ones (the icon images) have no name to look up by
    auto& names = reinterpret_cast<Table*>(table)->names;
    names.push_back(name);
    names.push_back(IS_INTRESOURCE(type) ? std::string("ICON") : std::string(type));
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR table) {
    if (IS_INTRESOURCE(type) && type != MAKEINTRESOURCEA(14)) return TRUE;
    EnumResourceNamesA(module, type, OnName, table);
    return TRUE;
}

}  // namespace

std::span<const ResourceEntry> EmbeddedResources() {
    static const Table table = [] {
        Table made;
        EnumResourceTypesA(GetModuleHandleA(nullptr), OnType, reinterpret_cast<LONG_PTR>(&made));
        for (std::size_t i = 0; i + 1 < made.names.size(); i += 2) {
            const std::string& type = made.names[i + 1];
            const auto bytes = Lookup(made.names[i].c_str(), SystemType(type));
            made.entries.push_back(ResourceEntry{made.names[i].c_str(), type.c_str(),
                                                 reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
        }
        return made;
    }();
    return table.entries;
}

namespace {

// The system compares names without regard to case and keeps them in upper
// case (windres stores them so); a name with a lower-case letter can never
// be an exact match, as the lookup promises.
bool HasLowerCase(std::string_view text) {
    for (const char c : text) {
        if (c >= 'a' && c <= 'z') return true;
    }
    return false;
}

}  // namespace

std::span<const std::byte> FindResource(std::string_view name, std::string_view type) {
    if (name.empty() || HasLowerCase(name) || HasLowerCase(type)) return {};
    const std::string nameText(name);
    const std::string typeText(type);
    return Lookup(nameText.c_str(), SystemType(typeText));
}

}  // namespace platform
