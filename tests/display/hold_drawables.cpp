// An ordinary X client, as a terminal or a panel is: one connection with two windows and two
// pixmaps, held until the process is killed. Prints "ready" once the server has them.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "hold_drawables: no X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    for (int i = 0; i < 2; ++i) {
        XCreateSimpleWindow(display, root, 0, 0, 16, 16, 0, 0, 0);
        XCreatePixmap(display, root, 16, 16, unsigned(DefaultDepth(display, DefaultScreen(display))));
    }
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
