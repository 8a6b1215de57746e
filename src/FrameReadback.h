#pragma once

#include "Screenshot.h"

// The frame just drawn into the current context's back buffer as the screen
// will show it, rows from the top. A multisampled buffer is resolved first
// (its samples averaged), as the swap does: read directly, some drivers give
// one sample a pixel and lose the smoothed edges. width and height: the
// framebuffer's size in pixels.
Image readShownFrame(int width, int height);
