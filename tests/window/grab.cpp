// Saves the visible window of a title as a PNG: grab TITLE OUT.png
#include "XSupport.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TITLE OUT.png\n", argv[0]);
        return 2;
    }
    const unsigned long window = xsupport::waitForWindow(argv[1], 30);
    Image image;
    std::string error;
    if (!window || !xsupport::grabWindow(window, image) || !writePng(SaveTarget::replacing(argv[2]), image, "", error)) {
        std::fprintf(stderr, "could not grab the window %s %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
