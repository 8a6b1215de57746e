#pragma once

class Planet;

// A source of random integers 0..RAND_MAX; the program uses the C library's rand.
using RandomSource = int (*)();

// Advances the planet's angles by dtMs milliseconds (a negative frame time
// counts as 0) and now and then reverses the turn about one axis: each axis
// in turn with a chance of about 1 / (dtMs * 200 + 1), at most one per frame.
void updateRotation(Planet& planet, float dtMs, RandomSource random);

// updateRotation on the current planet with the C library's rand.
void updatePlanet(float dtMs);
