#include "framework/gl/glsl_prog.h"

#include <SDL.h>

#include <string_view>
#include <vector>

namespace framework::gl {
namespace {

std::string shaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1) return {};
    std::vector<char> text(static_cast<std::size_t>(length));
    GLsizei written = 0;
    glGetShaderInfoLog(shader, length, &written, text.data());
    return std::string(text.data(), static_cast<std::size_t>(written));
}

std::string programLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1) return {};
    std::vector<char> text(static_cast<std::size_t>(length));
    GLsizei written = 0;
    glGetProgramInfoLog(program, length, &written, text.data());
    return std::string(text.data(), static_cast<std::size_t>(written));
}

// Compiles one stage; on failure the shader is gone and the exception names the stage.
GLuint compileStage(GLenum type, std::string_view source, const char* stageName) {
    GLuint shader = glCreateShader(type);
    if (!shader) throw GlslProgCompileExc(std::string(stageName) + ": no shader object (no GL context?)");
    const GLchar* text = source.data();
    // Explicit length: the texts carry no terminating zero.
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        std::string log = shaderLog(shader);
        glDeleteShader(shader);
        throw GlslProgCompileExc(std::string(stageName) + ": " + log);
    }
    return shader;
}

GLuint buildProgram(std::string_view vertexSource, std::string_view fragmentSource) {
    GLuint vertex = compileStage(GL_VERTEX_SHADER, vertexSource, "VERTEX");
    GLuint fragment = 0;
    try {
        fragment = compileStage(GL_FRAGMENT_SHADER, fragmentSource, "FRAGMENT");
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // Flagged for deletion, the stages stay attached (and their sources readable) until the
    // program goes.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        std::string log = programLog(program);
        glDeleteProgram(program);
        throw GlslProgCompileExc("LINK: " + log);
    }
    // A program built on another thread's context is used on this one only after a hand-over;
    // finishing here means its first use never waits on a half-done build.
    glFinish();
    return program;
}

}  // namespace

GlslProg::GlslProg(const std::string& vertexSource, const std::string& fragmentSource)
    : handle_(buildProgram(vertexSource, fragmentSource)) {}

GlslProg::GlslProg(const DataSourceRef& vertexSource, const DataSourceRef& fragmentSource)
    : handle_(buildProgram(vertexSource ? vertexSource->asText() : std::string_view{},
                           fragmentSource ? fragmentSource->asText() : std::string_view{})) {}

GlslProg::~GlslProg() {
    // Deleting with no context current would be a GL error; the object then goes with the
    // share group.
    if (handle_ && SDL_GL_GetCurrentContext()) glDeleteProgram(handle_);
}

void GlslProg::bind() const { glUseProgram(handle_); }

void GlslProg::unbind() { glUseProgram(0); }

GLint GlslProg::getUniformLocation(const std::string& name) {
    auto found = locations_.find(name);
    if (found != locations_.end()) return found->second;
    GLint location = glGetUniformLocation(handle_, name.c_str());
    locations_.emplace(name, location);
    return location;
}

void GlslProg::uniform(const std::string& name, float value) {
    glUniform1f(getUniformLocation(name), value);
}

void GlslProg::uniform(const std::string& name, const Vec3f& value) {
    glUniform3f(getUniformLocation(name), value.x, value.y, value.z);
}

void GlslProg::uniform(const std::string& name, const Vec4f& value) {
    glUniform4f(getUniformLocation(name), value.x, value.y, value.z, value.w);
}

void GlslProg::uniform(const std::string& name, int value) {
    glUniform1i(getUniformLocation(name), value);
}

}  // namespace framework::gl
