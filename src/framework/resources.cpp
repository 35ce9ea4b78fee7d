#include "framework/resources.h"

#include <cstdio>
#include <cstring>

namespace framework {

ResourceLoadExc::ResourceLoadExc(int number, const std::string& type) {
    char text[512];
    std::snprintf(text, sizeof text, "Failed to load resource: #%d type: %s", number, type.c_str());
    message_ = text;
}

DataSourceRef loadResource(int number, const std::string& type) {
    for (std::size_t i = 0; i < detail::resourceCount; ++i) {
        const auto& entry = detail::resourceTable[i];
        if (entry.number == number && type == entry.type) {
            return std::make_shared<DataSourceBuffer>(std::span<const std::uint8_t>(
                entry.begin, static_cast<std::size_t>(entry.end - entry.begin)));
        }
    }
    throw ResourceLoadExc(number, type);
}

}  // namespace framework
