#pragma once

#include <memory>

class Planet;
class PlanetBuffers;
class Shader;

// The land and water programs of one window, and the planet's buffers; they
// need its context, so they are released before the window goes.
struct PlanetShaders {
    std::unique_ptr<Shader> land;
    std::unique_ptr<Shader> water;
    std::unique_ptr<PlanetBuffers> buffers;
    PlanetShaders();
    ~PlanetShaders();
    PlanetShaders(PlanetShaders&&) noexcept;
    PlanetShaders& operator=(PlanetShaders&&) noexcept;
};

// Compiles the two programs, puts the current planet into buffer objects and
// hands both to it; makes no programs, after logging why, when the context
// offers no shader objects.
PlanetShaders setupShaders();

// Lets go of what setupShaders handed to the current planet.
void releasePlanetGraphics();

// Puts the current planet into buffer objects and hands them and the
// programs to it: for a planet that replaces the one shown, only its land is
// sent when the buffers hold a planet of its subdivisions.
void attachPlanetGraphics(PlanetShaders& shaders);

// Draws the current planet: the land (uploaded again first if a live
// generation has changed it), then the translucent sea, each with its
// program, or with the fixed pipeline where it has none.
void renderPlanet();

// Puts next in the place of currentPlanet (released as the window stage
// releases it), turned as that one was, with its own buffer objects made
// here: on the thread that owns the context.
void showNextPlanet(std::unique_ptr<Planet> next, PlanetShaders& shaders);
