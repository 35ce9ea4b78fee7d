#include <memory>

#include "framework/app.h"
#include "player/lumivex_app.h"

int main() {
    auto* app = new LumivexApp;
    auto renderer = std::make_shared<framework::RendererGl>(0);
    // Non-zero when the window could not be opened, so that a launcher sees the failure.
    const int status = framework::launch(app, renderer, "LumivexApp");
    renderer.reset();
    return status;
}
