#pragma once

#include <string>

#include "framework/gl/glsl_prog.h"

// One effect program on its way from request to screen. Copies share the built program.
struct ShaderRequest {
    ShaderRequest() : id(0) {}
    explicit ShaderRequest(int id) : id(id) {}

    int id;                                   // FRAG number of the effect body
    std::wstring path;                        // a dropped file, if it came from one
    framework::gl::GlslProgRef program;       // set by the loader
};
