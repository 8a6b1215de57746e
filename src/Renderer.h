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

// Compiles the two programs and hands them to the current planet; makes none,
// after logging why, when the context offers no shader objects.
PlanetShaders setupShaders();

// Draws the current planet: land under its mutex, then the translucent sea,
// each with its program, or with the fixed pipeline where it has none.
void renderPlanet();
