#pragma once

struct GLFWwindow;

// The fixed GL state of a window: depth test, blending, alpha test, front
// faces culled (the mesh is clockwise seen from outside), light 0.
void initGL();

// Window-size callback: viewport and a 45 degree perspective whose depth
// planes follow the camera's distance; a height of 0 counts as 1.
void resizeWindow(GLFWwindow* window, int width, int height);

// Clears and draws one frame of the current planet with camera and light.
void drawFrame();

// The camera at the distance the wheel chose, light 0 fixed to it, then the
// turn the user's drags gave the planet, on a fresh modelview matrix.
void placeCameraAndLight();

// Initialises GLFW and makes the 800 by 600 "Orbivane" window with its
// context current, or returns null. The window starts from the starting
// view: distance 3, no turn by the user.
GLFWwindow* openWindow();
