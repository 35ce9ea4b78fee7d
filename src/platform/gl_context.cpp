#include "platform/gl_context.h"

#include <SDL.h>

#include <mutex>
#include <set>
#include <utility>

namespace platform {
namespace {

std::mutex sharedLock;
std::set<std::pair<GlContext, GlContext>> sharedPairs;

}  // namespace

GlContext createContext(DeviceContext device) {
    if (!device) return nullptr;
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, previous ? 1 : 0);
    SDL_GLContext made = SDL_GL_CreateContext(device);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    // Making a context makes it current; give the caller its own back.
    SDL_GL_MakeCurrent(device, previous);
    if (made && previous) {
        std::lock_guard<std::mutex> guard(sharedLock);
        sharedPairs.insert({previous, made});
    }
    return made;
}

GlContext currentContext() { return SDL_GL_GetCurrentContext(); }

bool shareLists(GlContext first, GlContext second) {
    if (!first || !second) return false;
    std::lock_guard<std::mutex> guard(sharedLock);
    return sharedPairs.count({first, second}) > 0;
}

bool makeCurrent(DeviceContext device, GlContext context) {
    return SDL_GL_MakeCurrent(device, context) == 0;
}

void deleteContext(GlContext context) {
    if (!context) return;
    {
        std::lock_guard<std::mutex> guard(sharedLock);
        std::erase_if(sharedPairs, [&](const auto& pair) {
            return pair.first == context || pair.second == context;
        });
    }
    SDL_GL_DeleteContext(context);
}

}  // namespace platform
