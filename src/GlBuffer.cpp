#include "GlBuffer.h"

#include <cstring>

bool glMadeIt()
{
    bool made = true;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        made = false;
    return made;
}

GLsizeiptr sendWelded(const float* soup, const std::vector<std::uint32_t>& vertexToCorner, GLenum usage,
                      const WorldShape& shape)
{
    const auto bytes = static_cast<GLsizeiptr>(vertexToCorner.size() * 3 * sizeof(float));
    glMadeIt(); // what went before is not this upload's
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, usage);
    if (!glMadeIt())
        return 0;
    auto* out = static_cast<float*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    if (!out)
        return 0;
    for (std::size_t v = 0; v < vertexToCorner.size(); ++v)
        std::memcpy(out + 3 * v, soup + 3 * std::size_t(vertexToCorner[v]), 3 * sizeof(float));
    if (shape.relief != 1.0)
        for (std::size_t v = 0; v < vertexToCorner.size(); ++v)
            moveToShownRadius(out + 3 * v, shape);
    return glUnmapBuffer(GL_ARRAY_BUFFER) && glMadeIt() ? bytes : 0;
}

GLsizeiptr sendSomeWelded(const float* soup, const std::vector<std::uint32_t>& vertexToCorner,
                          const std::vector<std::uint32_t>& listed, const WorldShape& shape)
{
    glMadeIt();
    auto* out = static_cast<float*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    if (!out)
        return 0;
    for (const std::uint32_t v : listed) {
        std::memcpy(out + 3 * std::size_t(v), soup + 3 * std::size_t(vertexToCorner[v]), 3 * sizeof(float));
        if (shape.relief != 1.0)
            moveToShownRadius(out + 3 * std::size_t(v), shape);
    }
    const auto bytes = static_cast<GLsizeiptr>(listed.size() * 3 * sizeof(float));
    return glUnmapBuffer(GL_ARRAY_BUFFER) && glMadeIt() ? bytes : 0;
}
