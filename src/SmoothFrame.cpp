#include "SmoothFrame.h"

#include "FrameDrawing.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A framebuffer object with an RGBA colour and a depth renderbuffer of the
// given size in samples, bound for drawing and reading while it lives.
class SampleTarget {
public:
    SampleTarget(int width, int height)
    {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(2, renderbuffers);
        const bool stored = store(renderbuffers[0], GL_RGBA8, width, height) &&
                            store(renderbuffers[1], GL_DEPTH_COMPONENT24, width, height);
        glGetIntegerv(GL_READ_BUFFER, &formerReadBuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[1]);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        complete = stored && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    ~SampleTarget()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(static_cast<GLenum>(formerReadBuffer));
        glDeleteRenderbuffers(2, renderbuffers);
        glDeleteFramebuffers(1, &framebuffer);
    }
    SampleTarget(const SampleTarget&) = delete;
    SampleTarget& operator=(const SampleTarget&) = delete;

    bool complete = false;

private:
    // Gives the renderbuffer its storage; false when the driver kept less
    // (no memory for it), which is then never drawn into. Its errors stay
    // for whoever reports the frame's.
    static bool store(GLuint renderbuffer, GLenum format, int width, int height)
    {
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
        GLint keptWidth = 0, keptHeight = 0;
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &keptWidth);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &keptHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        return keptWidth == width && keptHeight == height;
    }

    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {0, 0}; // colour, depth
    GLint formerReadBuffer = GL_BACK;
};

// A piece of the frame in pixels, from its bottom-left corner as GL counts.
struct Tile {
    int x, y, width, height;
};

// The largest tile side in pixels the renderer and TILE_SAMPLES_MAX allow.
int tilePixels()
{
    GLint renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    const int samples = std::min({TILE_SAMPLES_MAX, int(renderbuffer), int(viewport[0]), int(viewport[1])});
    return std::max(samples / SUPERSAMPLING, 1);
}

// The frame's perspective narrowed to the tile: the tile's part of the
// normalised device square stretched over all of it. One tile covering the
// frame multiplies by exact ones and zeros.
void setTileProjection(const ViewControl& view, const Tile& tile, int width, int height)
{
    const double scaleX = double(width) / tile.width, scaleY = double(height) / tile.height;
    const double centreX = -1 + (2.0 * tile.x + tile.width) / width;
    const double centreY = -1 + (2.0 * tile.y + tile.height) / height;
    setProjection(view, width, height);
    GLdouble perspective[16];
    glGetDoublev(GL_PROJECTION_MATRIX, perspective);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScaled(scaleX, scaleY, 1);
    glTranslated(-centreX, -centreY, 0);
    glMultMatrixd(perspective);
    glMatrixMode(GL_MODELVIEW);
}

// Averages the tile's samples (GL rows from the bottom) into its pixels of
// frame (rows from the top).
void boxFilter(const std::vector<unsigned char>& samples, const Tile& tile, Image& frame)
{
    constexpr int S = SUPERSAMPLING, AREA = SUPERSAMPLING * SUPERSAMPLING;
    const std::size_t rowSamples = std::size_t(tile.width) * S * 3;
    for (int y = 0; y < tile.height; ++y) {
        unsigned char* out = &frame.rgb[(std::size_t(frame.height - 1 - tile.y - y) * frame.width + tile.x) * 3];
        for (int x = 0; x < tile.width; ++x)
            for (int c = 0; c < 3; ++c) {
                unsigned sum = 0;
                for (int sy = 0; sy < S; ++sy)
                    for (int sx = 0; sx < S; ++sx)
                        sum += samples[(std::size_t(y) * S + sy) * rowSamples + (std::size_t(x) * S + sx) * 3 + c];
                out[x * 3 + c] = static_cast<unsigned char>((sum + AREA / 2) / AREA);
            }
    }
}

void drawTile(const ViewControl& view, const Tile& tile, const FrameDrawer& draw, Image& frame,
              std::vector<unsigned char>& samples)
{
    glViewport(0, 0, tile.width * SUPERSAMPLING, tile.height * SUPERSAMPLING);
    setTileProjection(view, tile, frame.width, frame.height);
    draw(SUPERSAMPLING);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, tile.width * SUPERSAMPLING, tile.height * SUPERSAMPLING, GL_RGB, GL_UNSIGNED_BYTE,
                 samples.data());
    boxFilter(samples, tile, frame);
}

} // namespace

std::uint64_t smoothFrameBytes(int width, int height)
{
    // Colour and depth in the driver, 4 bytes each, and 3 read back.
    constexpr std::uint64_t BYTES_PER_SAMPLE = 4 + 4 + 3;
    const std::uint64_t tileWidth = std::min(std::uint64_t(width) * SUPERSAMPLING, std::uint64_t(TILE_SAMPLES_MAX));
    const std::uint64_t tileHeight = std::min(std::uint64_t(height) * SUPERSAMPLING, std::uint64_t(TILE_SAMPLES_MAX));
    return tileWidth * tileHeight * BYTES_PER_SAMPLE + std::uint64_t(width) * std::uint64_t(height) * 3;
}

Image drawSmoothFrame(const ViewControl& view, int width, int height, int restoreWidth, int restoreHeight)
{
    return drawSmoothFrame(view, width, height, restoreWidth, restoreHeight,
                           [&view](float pixelScale) { drawPlanetFrame(view, pixelScale); });
}

Image drawSmoothFrame(const ViewControl& view, int width, int height, int restoreWidth, int restoreHeight,
                      const FrameDrawer& draw)
{
    Image frame;
    if (!GLEW_ARB_framebuffer_object && !GLEW_VERSION_3_0)
        return frame;
    const int side = tilePixels();
    const int tileWidth = std::min(width, side), tileHeight = std::min(height, side);
    {
        const SampleTarget target(tileWidth * SUPERSAMPLING, tileHeight * SUPERSAMPLING);
        if (target.complete) {
            frame.width = width;
            frame.height = height;
            frame.rgb.resize(std::size_t(width) * height * 3);
            std::vector<unsigned char> samples(std::size_t(tileWidth) * tileHeight * 3 * SUPERSAMPLING *
                                               SUPERSAMPLING);
            for (int y = 0; y < height; y += tileHeight)
                for (int x = 0; x < width; x += tileWidth)
                    drawTile(view, {x, y, std::min(tileWidth, width - x), std::min(tileHeight, height - y)}, draw,
                             frame, samples);
        }
    }
    glViewport(0, 0, restoreWidth, restoreHeight);
    setProjection(view, restoreWidth, restoreHeight);
    return frame;
}
