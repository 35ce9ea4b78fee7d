// The loader thread: builds effect programs in a GL context of its own that shares objects
// with the window's, so that the main thread keeps drawing while effects compile.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "framework/console.h"
#include "framework/gl/glsl_prog.h"
#include "framework/resources.h"
#include "framework/utf8.h"
#include "player/lumivex_app.h"

namespace {

constexpr int kVertexText = 64;
constexpr int kHeaderText = 66;
constexpr std::size_t kMaxDroppedFileSize = 1024 * 1024;
const std::string kTextType = "FRAG";

std::string resourceText(int number) {
    framework::DataSourceRef source = framework::loadResource(number, kTextType);
    return std::string(source->asText());
}

// The dropped path as the file system spells it: UTF-8, whatever the process's locale.
std::string nativePath(const std::wstring& path) {
    std::string out;
    out.reserve(path.size());
    for (wchar_t wc : path) {
        const auto c = static_cast<char32_t>(wc);
        if ((c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff)
            throw std::runtime_error("the dropped path is not a valid file name");
        framework::appendUtf8(out, c);
    }
    if (out.find('\0') != std::string::npos) throw std::runtime_error("the dropped path is not a valid file name");
    return out;
}

// A shader text is plain text: valid UTF-8 (ASCII in practice) with no control bytes other
// than the usual white space.
bool looksLikeText(std::string_view bytes, std::string& why) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0) {
            why = "it contains a zero byte at offset " + std::to_string(i);
            return false;
        }
        if (c < 0x20 || c == 0x7f) {
            if (c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') {
                why = "it contains control byte " + std::to_string(c) + " at offset " + std::to_string(i);
                return false;
            }
            ++i;
            continue;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        char32_t code = 0;
        if (!framework::decodeUtf8(bytes, i, code)) {
            why = "it is not valid UTF-8 text (offset " + std::to_string(i) + ")";
            return false;
        }
    }
    return true;
}

// The text of a dropped file, or an exception whose message says why it is not usable.
std::string droppedFileText(const std::wstring& widePath) {
    const std::string path = nativePath(widePath);
    auto fail = [&](const std::string& why) -> std::runtime_error {
        return std::runtime_error(path + ": " + why);
    };
    // Non-blocking, so that a dropped pipe or device cannot hold the loader up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) throw fail("no such file");
        throw fail(std::string("cannot open it: ") + std::strerror(error));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) throw fail(std::string("cannot read it: ") + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw fail("it is a directory, not a shader file");
    if (!S_ISREG(info.st_mode)) throw fail("it is not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxDroppedFileSize) {
        throw fail("it is larger than 1 MiB (" + std::to_string(info.st_size) + " bytes)");
    }

    // Read one byte past the limit so that a file grown since fstat is still caught.
    std::string text;
    text.resize(kMaxDroppedFileSize + 1);
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = ::read(fd, text.data() + filled, text.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw fail(std::string("cannot read it: ") + std::strerror(errno));
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > kMaxDroppedFileSize) throw fail("it is larger than 1 MiB");
    text.resize(filled);
    if (text.empty()) throw fail("the file is empty");
    std::string why;
    if (!looksLikeText(text, why)) throw fail("not a text file: " + why);
    return text;
}

// Compiler logs run over several lines and end with a line feed; the console line stays one line.
std::string oneLine(std::string_view message) {
    std::string line;
    line.reserve(message.size());
    bool inBreak = false;
    for (char c : message) {
        if (c == '\n' || c == '\r') {
            inBreak = true;
            continue;
        }
        if (inBreak && !line.empty()) line += "; ";
        inBreak = false;
        line += c;
    }
    return line;
}

}  // namespace

bool LumivexApp::startLoader() {
    framework::Window* window = getWindow();
    platform::DeviceContext deviceContext = window ? window->getNative() : nullptr;
    if (!deviceContext) return false;

    platform::GlContext loaderContext = platform::createContext(deviceContext);
    if (!loaderContext) return false;

    platform::GlContext windowContext = platform::currentContext();
    if (!windowContext || !platform::shareLists(windowContext, loaderContext)) {
        platform::deleteContext(loaderContext);
        return false;
    }

    loaderStop = false;
    try {
        loaderThread = std::make_shared<std::thread>(&LumivexApp::loaderMain, this, deviceContext,
                                                     loaderContext);
    } catch (const std::exception&) {
        // The system refused the thread (std::system_error) or memory ran out: the same
        // report as a context that cannot be made.
        loaderThread.reset();
        platform::deleteContext(loaderContext);
        return false;
    }
    return true;
}

void LumivexApp::loaderMain(platform::DeviceContext deviceContext, platform::GlContext loaderContext) {
    if (!platform::makeCurrent(deviceContext, loaderContext)) {
        platform::deleteContext(loaderContext);
        return;
    }

    while (!loaderStop.load(std::memory_order_acquire)) {
        if (!requestQueue->isNotEmpty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        ShaderRequest request;
        requestQueue->popBack(request);
        try {
            const bool dropped = request.id == 0 && !request.path.empty();
            const std::string vertexText = resourceText(kVertexText);
            const std::string bodyText =
                dropped ? droppedFileText(request.path) : resourceText(request.id);
            const std::string headerText = resourceText(kHeaderText);
            const std::string fragmentText = headerText + bodyText;
            try {
                request.program = std::make_shared<framework::gl::GlslProg>(vertexText, fragmentText);
            } catch (const framework::gl::GlslProgCompileExc& error) {
                if (!dropped) throw;
                throw std::runtime_error(nativePath(request.path) + ": " + error.what());
            }
            // False only once shutdown has canceled the queue's waits: the record is dropped
            // and the next pass reads the stop flag.
            resultQueue->pushFront(request);
        } catch (const std::exception& error) {
            framework::console() << "Failed to compile the shader: " << oneLine(error.what()) << std::endl;
        }
    }

    platform::makeCurrent(deviceContext, nullptr);
    platform::deleteContext(loaderContext);
}
