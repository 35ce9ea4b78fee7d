#include "framework/console.h"

#include <unistd.h>

#include <mutex>
#include <streambuf>
#include <string>

namespace framework {
namespace {

std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

void writeAll(const char* data, std::size_t size) {
    std::lock_guard<std::mutex> guard(outputLock());
    while (size > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, size);
        if (written <= 0) return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Collects a thread's characters and hands each finished line over in one write.
class LineBuffer : public std::streambuf {
public:
    ~LineBuffer() override {
        if (!line_.empty()) writeAll(line_.data(), line_.size());
    }

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        line_.push_back(traits_type::to_char_type(ch));
        if (ch == '\n') emitLine();
        return ch;
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) {
            line_.push_back(s[i]);
            if (s[i] == '\n') emitLine();
        }
        return n;
    }

private:
    void emitLine() {
        writeAll(line_.data(), line_.size());
        line_.clear();
    }

    std::string line_;
};

}  // namespace

std::ostream& console() {
    thread_local LineBuffer buffer;
    thread_local std::ostream stream(&buffer);
    return stream;
}

}  // namespace framework
