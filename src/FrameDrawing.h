#pragma once

#include "TurningDetail.h"
#include "ViewControl.h"

// The drawing of one frame of the current planet: the fixed GL state, the
// camera for a framebuffer's size and a view, the level of detail, then the
// planet, its rivers, sea and air. The window and the off-screen poster both
// draw through here; the context must be current.

// The fixed GL state of a context: depth test, blending, alpha test, front
// faces culled (the mesh is clockwise seen from outside), light 0.
void initGL();

// Light 0's position (x, y, z, w), given right after the camera, so in world
// coordinates; w = 0: far away in this direction, the same for every point.
inline constexpr float LIGHT_POSITION[4] = {3.0f, 1.5f, 0.0f, 0.0f};

// A 45 degree perspective for a framebuffer of width by height pixels (both
// at least 1) whose depth planes follow the view's camera distance.
void setProjection(const ViewControl& view, int width, int height);

// The camera at the view's distance, light 0 fixed to it, then the view's
// turn of the planet, on a fresh modelview matrix.
void placeCameraAndLight(const ViewControl& view);

// The current planet's levels of detail for a frame width x height pixels
// drawn in motion (TurningDetail.h frameLevels): whole when it is saved or
// stands still, coarser while the hand is at work or the planet turns.
void chooseDetail(const ViewControl& view, int width, int height, const FrameMotion& motion);

// Clears and draws one frame of the current planet as the view holds it;
// pixelScale: the frame's pixels to a pixel of the screen (renderPlanet).
void drawPlanetFrame(const ViewControl& view, float pixelScale = 1.0f);
