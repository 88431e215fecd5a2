#include "Source/gate/GateGL.h"

#include "platform/gfx/Screen.h"

#include <GLES/gl.h>

namespace gate {

void GateGL::InitState()
{
    auto lock = Lock();
    glShadeModel(GL_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glViewport(0, 0, platform::kScreenWidth, platform::kScreenHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0, static_cast<GLfloat>(platform::kScreenWidth), static_cast<GLfloat>(platform::kScreenHeight), 0, 1000,
             -1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::unique_lock<std::recursive_mutex> GateGL::Lock()
{
    static std::recursive_mutex mutex;
    return std::unique_lock<std::recursive_mutex>(mutex);
}

} // namespace gate
