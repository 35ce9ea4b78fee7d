#include <memory>

#include "framework/app.h"
#include "player/lumivex_app.h"

int main() {
    auto* app = new LumivexApp;
    auto renderer = std::make_shared<framework::RendererGl>(0);
    framework::launch(app, renderer, "LumivexApp");
    renderer.reset();
    return 0;
}
