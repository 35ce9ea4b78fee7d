#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "framework/geometry.h"
#include "framework/resources.h"

namespace framework::gl {

// The text is "VERTEX: " or "FRAGMENT: " followed by the compiler's log, or "LINK: " and the
// linker's log.
class GlslProgCompileExc : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class GlslProg;
using GlslProgRef = std::shared_ptr<GlslProg>;

// A vertex and a fragment stage linked into one program, in the context current on the
// calling thread (or one sharing objects with it).
class GlslProg {
public:
    GlslProg(const std::string& vertexSource, const std::string& fragmentSource);
    GlslProg(const DataSourceRef& vertexSource, const DataSourceRef& fragmentSource);
    ~GlslProg();
    GlslProg(const GlslProg&) = delete;
    GlslProg& operator=(const GlslProg&) = delete;

    static GlslProgRef create(const std::string& vertexSource, const std::string& fragmentSource) {
        return std::make_shared<GlslProg>(vertexSource, fragmentSource);
    }

    GLuint getHandle() const { return handle_; }
    void bind() const;
    static void unbind();

    // Looked up once per name; -1 (no such active uniform) is remembered too.
    GLint getUniformLocation(const std::string& name);
    void uniform(const std::string& name, float value);
    void uniform(const std::string& name, const Vec3f& value);
    void uniform(const std::string& name, const Vec4f& value);
    void uniform(const std::string& name, int value);

private:
    GLuint handle_ = 0;
    std::unordered_map<std::string, GLint> locations_;
};

}  // namespace framework::gl
