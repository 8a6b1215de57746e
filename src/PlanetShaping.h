#pragma once

class Planet;
struct Options;

// Gives planet the relief and the size options ask for and, once its generation has ended
// (a live one: finished or stopped), the sea level --land asks for, with one
// log record giving the radius chosen. The sea level is set once per planet;
// without memory for it the sea stays at radius 1, after saying so.
void settleShape(Planet& planet, const Options& options);
