#pragma once

class Planet;

// The planet drawn as the program drew it before buffer objects: both
// triangle soups sent from client memory every frame with glDrawArrays, with
// the planet's own programs. The yardstick the buffer drawing is compared
// against, pixel for pixel and in frames a second.
void drawWithClientArrays(Planet& planet);
