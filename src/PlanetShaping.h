#pragma once

#include "StopRequest.h"

class Planet;
struct Options;

// Gives planet the relief and the size options ask for and, once its generation has ended
// (a live one: finished or stopped), the sea level --land asks for, with one
// log record giving the radius chosen. The sea level is set once per planet;
// without memory for it the sea stays at radius 1, after saying so. With
// --erosion the land is eroded then, once, over the sea chosen (or the sea
// at radius 1), and the sea is set again for the eroded land; only that
// level is logged. A sea level or an erosion skipped for want of memory
// marks the planet's shape short of what was asked (Planet::shapeShort).
// Set, stop cuts the erosion short for a planet no longer wanted: its land
// then stays as generated, and nothing more is logged.
void settleShape(Planet& planet, const Options& options, StopRequest stop = nullptr);

// Erodes planet's land for steps steps (Erosion.h) over its sea: each welded
// vertex moves along its radius, every soup copy of it to the same place,
// under the planet's mutex. Logged; without memory the land stays as it is,
// after saying so. Returns whether it was eroded: false also when stop was
// set before the end (the land stays as it was, unlogged).
bool erodePlanet(Planet& planet, int steps, StopRequest stop = nullptr);
