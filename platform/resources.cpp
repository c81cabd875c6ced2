#include "platform/resources.h"

namespace platform {

std::span<const std::byte> FindResource(std::string_view name, std::string_view type) {
    for (const ResourceEntry& entry : EmbeddedResources()) {
        if (name == entry.name && type == entry.type) {
            return {reinterpret_cast<const std::byte*>(entry.data), entry.size};
        }
    }
    return {};
}

}  // namespace platform
