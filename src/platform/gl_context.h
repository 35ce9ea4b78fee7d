#pragma once
// GL contexts on the window: the window stands in for the device context, SDL's GL contexts
// for the rendering contexts.

struct SDL_Window;

namespace platform {

using DeviceContext = SDL_Window*;
using GlContext = void*;

// A new context on `device`, sharing objects with the context current on the calling thread
// (if any). The calling thread's current context is left as it was. Null on failure.
GlContext createContext(DeviceContext device);
// The context current on the calling thread, or null.
GlContext currentContext();
// True when `second` shares the object space of `first`. Sharing is fixed when a context is
// made, so this only confirms what createContext arranged.
bool shareLists(GlContext first, GlContext second);
// Makes `context` current on the calling thread; null releases the current one.
bool makeCurrent(DeviceContext device, GlContext context);
void deleteContext(GlContext context);

}  // namespace platform
