#pragma once

#include "Screenshot.h"

#include <cstdint>
#include <functional>

class ViewControl;

// Samples a pixel's side in a smooth frame: each pixel is the mean of
// SUPERSAMPLING by SUPERSAMPLING samples, whatever the renderer offers
// (software renderers have no multisampling).
inline constexpr int SUPERSAMPLING = 3;

// The largest side, in samples, of one piece drawn at a time: a frame larger
// than the renderer's framebuffers (or this) is drawn in tiles, each with its
// part of the one perspective.
inline constexpr int TILE_SAMPLES_MAX = 4096;

// Bytes a smooth frame of width by height pixels takes at most beyond the
// planet's buffers: the tile's colour and depth samples in the driver, their
// copy read back, and the frame itself (width x height x 3).
std::uint64_t smoothFrameBytes(int width, int height);

// The current planet as the view holds it, drawn off screen into a
// framebuffer object at SUPERSAMPLING times width by height (both at least
// 1) and box-filtered down, rows from the top. The current context's
// framebuffer, viewport and projection are left as they were set for
// restoreWidth by restoreHeight. An empty image (width 0) when the context
// offers no framebuffer objects or cannot make one.
Image drawSmoothFrame(const ViewControl& view, int width, int height, int restoreWidth, int restoreHeight);

// One frame drawn in full, cleared first, on the camera's modelview; lines
// pixelScale times as wide as on the screen.
using FrameDrawer = std::function<void(float pixelScale)>;

// The same with draw in place of the planet's frame.
Image drawSmoothFrame(const ViewControl& view, int width, int height, int restoreWidth, int restoreHeight,
                      const FrameDrawer& draw);
