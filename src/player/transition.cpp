// The transition program: the pass-through vertex stage and the transition fragment stage.

#include <memory>
#include <string>

#include "framework/gl/glsl_prog.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"

void LumivexApp::loadTransitionProgram() {
    const std::string vertexType = "FRAG";
    const std::string fragmentType = "FRAG";
    // The fragment text first: with both missing, the report names 65.
    framework::DataSourceRef fragmentSource = framework::loadResource(65, fragmentType);
    framework::DataSourceRef vertexSource = framework::loadResource(64, vertexType);
    transitionProgram = std::make_shared<framework::gl::GlslProg>(vertexSource, fragmentSource);
}
