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
    // glewInit sets an extension's flag only when the driver lists it and
    // every one of its entry points loaded, so a flag that is set means no
    // null pointer. (glewExperimental would load them regardless; it stays off.)
    return GLEW_ARB_shader_objects && GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader;
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
