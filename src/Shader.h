#pragma once

#include <GL/glew.h>

#include <string>

// Whether the current context offers the ARB shader objects with vertex and
// fragment shaders, their entry points loaded by glewInit. Without them no
// Shader may be made.
bool shaderObjectsAvailable();

// Text put into a shader's source in place of the line that is exactly
// `marker`; a source without that line is compiled as it is.
struct ShaderInsert {
    std::string marker;
    std::string text;
};

// One linked GLSL program of a vertex and a fragment shader read from text
// files. Needs a current GL context with the ARB shader objects; never fails:
// what the driver says about the program is logged.
class Shader {
public:
    Shader(const char* vertexPath, const char* fragmentPath, const ShaderInsert& fragmentInsert = {},
           const ShaderInsert& vertexInsert = {});
    // Needs the context that made the objects.
    virtual ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    GLhandleARB program = 0;
    GLhandleARB fragmentShader = 0;
    GLhandleARB vertexShader = 0;
    // False when the program did not link; drawing then uses the fixed pipeline.
    bool linked = false;

private:
    bool vertexAttached = false;
    bool fragmentAttached = false;
};
