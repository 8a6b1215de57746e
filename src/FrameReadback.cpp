#include "FrameReadback.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// A single-sampled RGBA colour buffer of the given size to resolve into, as
// the read framebuffer while it lives; deleted with the object.
class ResolveTarget {
public:
    ResolveTarget(int width, int height)
    {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        ready = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        if (ready)
            glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    }
    ~ResolveTarget()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteRenderbuffers(1, &colour);
        glDeleteFramebuffers(1, &framebuffer);
        glReadBuffer(GL_BACK);
    }
    ResolveTarget(const ResolveTarget&) = delete;
    ResolveTarget& operator=(const ResolveTarget&) = delete;

    bool ready = false; // the resolved frame can be read
private:
    GLuint framebuffer = 0;
    GLuint colour = 0;
};

bool multisampled()
{
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    return sampleBuffers > 0 && GLEW_ARB_framebuffer_object;
}

void readRows(int width, int height, std::vector<unsigned char>& rows)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
}

} // namespace

Image readShownFrame(int width, int height)
{
    Image image;
    image.width = width;
    image.height = height;
    std::vector<unsigned char> rows(static_cast<std::size_t>(width) * height * 3);
    bool read = false;
    if (multisampled()) {
        const ResolveTarget target(width, height);
        if (target.ready) {
            readRows(width, height, rows);
            read = true;
        }
    }
    if (!read) {
        glReadBuffer(GL_BACK);
        readRows(width, height, rows);
    }
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    image.rgb.resize(rows.size());
    for (int y = 0; y < height; ++y) // GL rows start at the bottom
        std::copy_n(&rows[(height - 1 - y) * stride], stride, &image.rgb[y * stride]);
    return image;
}
