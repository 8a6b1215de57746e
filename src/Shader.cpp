#include "Shader.h"

#include "LogManager.h"
#include "TextFile.h"

#include <memory>

namespace {

constexpr int INFO_LOG_SIZE = 1024; // bytes, with the terminating NUL

// Compiles one shader from its text; a file without text is reported and
// left out of the program, so what remains still links and draws.
bool compileFrom(GLhandleARB shader, const char* path, const char* text)
{
    if (!text) {
        ORB_LOG(Error, "Shader file %s could not be read or is empty; the program is linked without it.", path);
        return false;
    }
    glShaderSourceARB(shader, 1, &text, nullptr);
    glCompileShaderARB(shader);
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) {
        char log[INFO_LOG_SIZE] = {};
        glGetInfoLogARB(shader, INFO_LOG_SIZE, nullptr, log);
        ORB_LOG(Error, "Shader %s did not compile: %s", path, log);
    }
    return true;
}

} // namespace

bool shaderObjectsAvailable()
{
    // GLEW loads an extension's entry points only when the driver lists it
    // (glewExperimental would load them regardless, so it stays off).
    if (!GLEW_ARB_shader_objects || !GLEW_ARB_vertex_shader || !GLEW_ARB_fragment_shader)
        return false;
    const void* const entryPoints[] = {
        reinterpret_cast<const void*>(glCreateShaderObjectARB), reinterpret_cast<const void*>(glShaderSourceARB),
        reinterpret_cast<const void*>(glCompileShaderARB), reinterpret_cast<const void*>(glCreateProgramObjectARB),
        reinterpret_cast<const void*>(glAttachObjectARB), reinterpret_cast<const void*>(glLinkProgramARB),
        reinterpret_cast<const void*>(glUseProgramObjectARB), reinterpret_cast<const void*>(glGetObjectParameterivARB),
        reinterpret_cast<const void*>(glGetInfoLogARB), reinterpret_cast<const void*>(glDetachObjectARB),
        reinterpret_cast<const void*>(glDeleteObjectARB)};
    for (const void* entryPoint : entryPoints)
        if (!entryPoint)
            return false;
    return true;
}

Shader::Shader(const char* vertexPath, const char* fragmentPath)
{
    vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);

    const std::unique_ptr<char[]> vertexText = readTextFile(vertexPath);
    const std::unique_ptr<char[]> fragmentText = readTextFile(fragmentPath);

    const bool haveVertex = compileFrom(vertexShader, vertexPath, vertexText.get());
    const bool haveFragment = compileFrom(fragmentShader, fragmentPath, fragmentText.get());

    program = glCreateProgramObjectARB();
    if (haveVertex) {
        glAttachObjectARB(program, vertexShader);
        vertexAttached = true;
    }
    if (haveFragment) {
        glAttachObjectARB(program, fragmentShader);
        fragmentAttached = true;
    }
    glLinkProgramARB(program);
    GLint linkStatus = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linkStatus);
    linked = linkStatus != 0;

    char infoLog[INFO_LOG_SIZE] = {};
    glGetInfoLogARB(program, INFO_LOG_SIZE, nullptr, infoLog);
    ORB_LOG(Info, "Shader (%s, %s):, GLSL Info: %s", vertexPath, fragmentPath, infoLog);
}

Shader::~Shader()
{
    if (vertexAttached)
        glDetachObjectARB(program, vertexShader);
    if (fragmentAttached)
        glDetachObjectARB(program, fragmentShader);
    glDeleteObjectARB(vertexShader);
    glDeleteObjectARB(fragmentShader);
    glDeleteObjectARB(program);
}
