#pragma once

struct GLFWwindow;

// A GLFW window of the given size and title with `samples` a pixel
// (multisampling; 0 for none), made with the hints already set. Without
// multisampling where the driver refuses it; with AUTOMATIC_SAMPLES
// (Window.h), MULTISAMPLES where the context renders in hardware and none on
// a software renderer, found out on a hidden window first. Null when no
// window can be made.
GLFWwindow* createWindow(int width, int height, const char* title, int samples);
