#pragma once

#include <memory>

class Shader;

// The land and water programs of one window; they need its context, so they
// are released before the window goes.
struct PlanetShaders {
    std::unique_ptr<Shader> land;
    std::unique_ptr<Shader> water;
    PlanetShaders();
    ~PlanetShaders();
    PlanetShaders(PlanetShaders&&) noexcept;
    PlanetShaders& operator=(PlanetShaders&&) noexcept;
};

// Compiles the two programs and hands them to the current planet.
PlanetShaders setupShaders();

// Draws the current planet: land under its mutex, then the translucent sea.
void renderPlanet();
