#pragma once

#include "FrameDrawing.h"

struct GLFWwindow;

// Window-size callback: viewport and a 45 degree perspective whose depth
// planes follow the camera's distance; a height of 0 counts as 1.
void resizeWindow(GLFWwindow* window, int width, int height);

// Clears and draws one frame of the current planet as the window's view
// holds it.
void drawFrame();

// placeCameraAndLight with the window's view: the distance the wheel chose
// and the turn the user's drags gave the planet.
void placeCameraAndLight();

// Multisampling: samples a pixel a window asks for, from the next window on;
// 0 asks for none. A driver that refuses gets a window without it. The
// default, AUTOMATIC_SAMPLES, asks for MULTISAMPLES where the GL renders in
// hardware and for none on a software renderer (Mesa's llvmpipe), where 4
// samples cost about three times the processor time of a frame.
inline constexpr int MULTISAMPLES = 4;
inline constexpr int AUTOMATIC_SAMPLES = -1;
void setWindowSamples(int samples);

// Initialises GLFW and makes the 800 by 600 "Orbivane" window with its
// context current, or returns null. The window starts from the starting
// view: distance 3, no turn by the user.
GLFWwindow* openWindow();
