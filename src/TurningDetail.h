#pragma once

#include "DetailLevels.h"

#include <vector>

// The levels of detail of a planet that turns on its own: the coarsest
// levels (DetailLevels.h) of its land and of its sea whose picture differs
// from the whole planet's by at most MAX_TURNING_DIFFERENCE, so that the
// frames keep up with the turning while the picture stays as it was. No GL
// here.

// The mean absolute difference allowed, over every pixel and channel of the
// framebuffer, in steps of 1/255.
constexpr double MAX_TURNING_DIFFERENCE = 2.0;

// The mean absolute difference of two pictures of the same size, over every
// byte (pixel and channel), in steps of 1/255; 0 for two empty ones, 255
// for two of different sizes.
double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

// The share (0 to 1) of a framebuffer framebufferWidth by
// scale.framebufferHeight pixels that the planet and its air cover.
double planetShare(const ScreenScale& scale, int framebufferWidth);

// The level of the land and of the sea a frame draws.
struct DetailChoice {
    int land;
    int sea;
};

// The levels a turning planet is drawn at: a rule fitted to the differences
// measured (docs/performance.md, "While the planet turns"). Whole below
// FIRST_COARSENED_SUBDIVISIONS; never finer than the planet, never below 0.
DetailChoice turningLevels(int subdivisions, const ScreenScale& scale, int framebufferWidth);

// What the next frame is for.
struct FrameMotion {
    bool handAtWork; // a drag or the wheel (HandActivity)
    bool turning;    // the planet turns on its own
    bool saving;     // the frame is saved (key P): always whole
};

// The levels the next frame draws: whole when saved or still; while the
// hand is at work levelForScreen for both; and for the turning, the coarser
// of that and turningLevels.
DetailChoice frameLevels(int subdivisions, const ScreenScale& scale, int framebufferWidth, const FrameMotion& motion);
