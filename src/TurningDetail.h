#pragma once

#include "DetailLevels.h"

#include <vector>

// The level of detail of a planet that turns on its own: the coarsest level
// (DetailLevels.h) whose picture differs from the whole planet's by at most
// MAX_TURNING_DIFFERENCE, so the frames keep up with the turning while the
// picture stays as it was. No GL here.

// The mean absolute difference allowed, over every pixel and channel of the
// framebuffer, in steps of 1/255.
constexpr double MAX_TURNING_DIFFERENCE = 2.0;

// The mean absolute difference of two pictures of the same size, over every
// byte (pixel and channel), in steps of 1/255; 0 for two empty ones.
double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

// The level a turning planet is drawn at in a framebuffer framebufferWidth
// by scale.framebufferHeight pixels: a rule fitted to measured differences
// (docs/performance.md, "While the planet turns"). The planet whole below
// FIRST_COARSENED_SUBDIVISIONS, never finer than it, never below 0.
int turningLevel(int subdivisions, const ScreenScale& scale, int framebufferWidth);

// What the next frame is for.
struct FrameMotion {
    bool handAtWork; // a drag or the wheel (HandActivity)
    bool turning;    // the planet turns on its own
    bool saving;     // the frame is saved (key P): always whole
};

// The level the next frame draws: whole when saved or still, and otherwise
// the coarser of the levels for the hand (levelForScreen) and the turning.
int frameLevel(int subdivisions, const ScreenScale& scale, int framebufferWidth, const FrameMotion& motion);

// Tells the log the level a turning planet is drawn at whenever it changes
// from the last one told; a planet drawn whole from the start is not told of.
class TurningReport {
public:
    void tell(int level, int subdivisions);
    void reset() { told = -1; }

private:
    int told = -1;
};
