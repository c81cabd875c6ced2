#pragma once
// Embedded resources: files built into the executable at build time and
// found by (name, type), as the intro reads no file at run time.
//
// An executable that looks resources up links exactly one resource library
// made by the CMake helper quandrix_add_resources(); on SDL that library
// defines EmbeddedResources(), on Win32 it is the executable's resource
// script and the table is read from the executable's own resources. Any
// thread may call these; the data never changes.

#include <cstddef>
#include <span>
#include <string_view>

namespace platform {

struct ResourceEntry {
    const char* name;            // resource name, e.g. "IDB_LOGO"
    const char* type;            // resource type, e.g. "MYBITMAP"
    const unsigned char* data;   // first byte; lives as long as the program
    std::size_t size;            // bytes
};

// The executable's resource table (generated at build time).
std::span<const ResourceEntry> EmbeddedResources();

// The bytes of the resource with exactly this name and type (both compared
// case-sensitively), or an empty span when there is none. An empty resource
// file also yields an empty span; callers treat both as "missing".
std::span<const std::byte> FindResource(std::string_view name, std::string_view type);

}  // namespace platform
