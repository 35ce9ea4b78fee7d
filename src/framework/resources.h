#pragma once
// Resources embedded in the executable, found by number and type name.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace framework {

namespace detail {
struct ResourceEntry {
    int number;
    const char* type;
    const unsigned char* begin;
    const unsigned char* end;
};
// Provided by the resource table that the executable links.
extern const ResourceEntry resourceTable[];
extern const std::size_t resourceCount;
}  // namespace detail

class ResourceLoadExc : public std::exception {
public:
    ResourceLoadExc(int number, const std::string& type);
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A read-only view of bytes that someone else owns (here: the executable image).
class DataSourceBuffer {
public:
    explicit DataSourceBuffer(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::span<const std::uint8_t> getBuffer() const { return bytes_; }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    std::string_view asText() const {
        return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
    }

private:
    std::span<const std::uint8_t> bytes_;
};
using DataSourceRef = std::shared_ptr<DataSourceBuffer>;

// Throws ResourceLoadExc when the table has no such resource.
DataSourceRef loadResource(int number, const std::string& type);

}  // namespace framework
