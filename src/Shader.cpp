#include "Shader.h"

#include "LogManager.h"
#include "TextFile.h"

#include <algorithm>
#include <memory>
#include <string>

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

// The text with insert.text in place of the line that is exactly insert.marker.
std::unique_ptr<char[]> withInsert(std::unique_ptr<char[]> text, const ShaderInsert& insert)
{
    if (!text || insert.marker.empty())
        return text;
    std::string source(text.get());
    std::size_t at = 0;
    for (; at < source.size(); at = source.find('\n', at) + 1) {
        const std::size_t end = std::min(source.find('\n', at), source.size());
        if (source.compare(at, end - at, insert.marker) == 0) {
            source.replace(at, end - at, insert.text);
            auto result = std::make_unique<char[]>(source.size() + 1);
            std::copy_n(source.c_str(), source.size() + 1, result.get());
            return result;
        }
        if (end == source.size())
            break;
    }
    return text;
}

} // namespace

bool shaderObjectsAvailable()
{
    // glewInit sets an extension's flag only when the driver lists it and
    // every one of its entry points loaded, so a flag that is set means no
    // null pointer. (glewExperimental would load them regardless; it stays off.)
    return GLEW_ARB_shader_objects && GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader;
}

Shader::Shader(const char* vertexPath, const char* fragmentPath, const ShaderInsert& fragmentInsert,
               const ShaderInsert& vertexInsert)
{
    vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);

    const std::unique_ptr<char[]> vertexText = withInsert(readTextFile(vertexPath), vertexInsert);
    const std::unique_ptr<char[]> fragmentText = withInsert(readTextFile(fragmentPath), fragmentInsert);

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
