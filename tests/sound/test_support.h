#pragma once
// Helpers of the sound tests: the generated clips, scratch folders, the clock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include <boost/filesystem.hpp>

namespace soundtest {

std::string clip(const std::string& name);  // path of a generated clip

// A fresh folder of its own; the working directory is moved there and back.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const boost::filesystem::path& path() const { return path_; }
    void enter();

private:
    boost::filesystem::path path_, previous_;
    bool entered_ = false;
};

void writeFile(const boost::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::string& path);

// The bytes with `with` written over them at `seconds` into a stream that lasts `length` s,
// counted by size as a constant bit rate does.
std::string damage(std::string bytes, double seconds, double length, const std::string& with);
// A kilobyte (or `size` bytes) of pseudo-random garbage, the same for the same seed.
std::string garbage(unsigned seed, std::size_t size = 1024);

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How far a position read between the wall times `before` and `after` lies outside them, as a
// fraction of `before`: a busy machine that holds the reader up between the two is no fault of
// the clock.
inline double deviation(double position, double before, double after) {
    const double off = position < before ? before - position : position > after ? position - after : 0.0;
    return off / before;
}

// After the end of a stream, reads the position every 10 ms for 0.6 s from `ended`
// (`read` advances the layer and returns it): it must never go back, and at the last read be
// as far past `atEnd` as the wall clock has moved, within 30 ms. Returns that last position.
std::uint32_t expectRunsOnInRealTime(const std::function<std::uint32_t()>& read, std::uint32_t atEnd,
                                     std::chrono::steady_clock::time_point ended);

}  // namespace soundtest
