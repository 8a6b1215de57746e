#include "OffscreenContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glew.h>

#include <cstdio>

namespace {

std::string eglFailure(const char* what)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

} // namespace

OffscreenContext::OffscreenContext()
{
    const auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!platformDisplay) {
        why = "EGL offers no platform displays";
        return;
    }
    display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (!display || !eglInitialize(display, &major, &minor)) {
        why = eglFailure("Opening Mesa's surfaceless EGL display");
        display = nullptr;
        return;
    }
    // The fixed-function pipeline the drawing uses: a compatibility context.
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1, EGL_NONE};
    if (!eglBindAPI(EGL_OPENGL_API) ||
        !(context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes))) {
        why = eglFailure("Making an OpenGL context without a window");
        return;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        why = eglFailure("Making the context without a window current");
        return;
    }
    current = true;
    // GLEW then looks for a GLX display, finds none and says so; the GL's
    // own functions are loaded by then.
    glewInit();
}

OffscreenContext::~OffscreenContext()
{
    if (!display)
        return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context)
        eglDestroyContext(display, context);
    eglTerminate(display);
}
