#include "Window.h"

#include "LogManager.h"
#include "Orbivane.h"
#include "Renderer.h"
#include "Rotation.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>

namespace {
constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;

void closeOnEscape(GLFWwindow* window, int key, int, int action, int)
{
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS)
        glfwSetWindowShouldClose(window, GLFW_TRUE);
}
} // namespace

void initGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.1f, 0.15f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
}

void resizeWindow(GLFWwindow*, int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void drawFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(3, 0, 0, 0, 0, 0, 0, 1, 0);
    // w = 0: a sun far away in this direction, the same for every point.
    const GLfloat lightPosition[4] = {3.0f, 1.5f, 0.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    renderPlanet();
}

GLFWwindow* openWindow()
{
    glfwInit();
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 8);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    // The drawing uses the fixed-function pipeline: a compatibility context.
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    GLFWwindow* window = glfwCreateWindow(WINDOW_WIDTH, WINDOW_HEIGHT, "Orbivane", nullptr, nullptr);
    if (!window)
        return nullptr;
    glfwMakeContextCurrent(window);
    glfwSetFramebufferSizeCallback(window, resizeWindow);
    glfwSetKeyCallback(window, closeOnEscape);
    glfwSwapInterval(1);
    glewInit();
    initGL();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    resizeWindow(window, width, height);
    return window;
}

bool runWindow()
{
    GLFWwindow* window = openWindow();
    if (!window) {
        glfwTerminate();
        currentPlanet.reset();
        return false;
    }
    {
        PlanetShaders shaders = setupShaders();
        double last = glfwGetTime();
        do {
            const double now = glfwGetTime();
            const float dtMs = static_cast<float>(now - last) * 1000.0f;
            last = now;
            drawFrame();
            glfwSwapBuffers(window);
            updatePlanet(dtMs);
            glfwPollEvents();
        } while (!glfwWindowShouldClose(window));
        // The programs go while their context still exists.
        if (currentPlanet) {
            currentPlanet->landShader = nullptr;
            currentPlanet->water->shader = nullptr;
        }
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    currentPlanet.reset();
    return true;
}
