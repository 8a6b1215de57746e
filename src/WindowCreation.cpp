#include "WindowCreation.h"

#include "Window.h"

#include <GLFW/glfw3.h>

#include <string>

namespace {

// Whether the current context renders in software, where multisampling
// costs about three times the processor time of a frame.
bool softwareRenderer()
{
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string name = renderer ? renderer : "";
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer"})
        if (name.find(software) != std::string::npos)
            return true;
    return false;
}

GLFWwindow* createWith(int width, int height, const char* title, int samples, bool visible)
{
    glfwWindowHint(GLFW_SAMPLES, samples);
    glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
    return glfwCreateWindow(width, height, title, nullptr, nullptr);
}

} // namespace

GLFWwindow* createWindow(int width, int height, const char* title, int samples)
{
    const bool automatic = samples == AUTOMATIC_SAMPLES;
    const int asked = automatic ? MULTISAMPLES : samples;
    GLFWwindow* window = createWith(width, height, title, asked, !automatic);
    if (window && automatic) {
        glfwMakeContextCurrent(window);
        if (!softwareRenderer()) {
            glfwShowWindow(window);
            return window;
        }
        glfwMakeContextCurrent(nullptr);
        glfwDestroyWindow(window);
        window = nullptr;
    }
    return window || asked == 0 ? window : createWith(width, height, title, 0, true);
}
