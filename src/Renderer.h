#pragma once

#include "ClimateView.h"
#include "WorldShape.h"

#include <memory>

class Planet;
class PlanetBuffers;
class RiverBuffers;
class Shader;

// The land and water programs of one window, and the planet's buffers and
// its rivers' ones; they need its context, so they are released before the
// window goes.
struct PlanetShaders {
    std::unique_ptr<Shader> land;
    std::unique_ptr<Shader> water;
    std::unique_ptr<PlanetBuffers> buffers;
    std::unique_ptr<RiverBuffers> rivers;
    PlanetShaders();
    ~PlanetShaders();
    PlanetShaders(PlanetShaders&&) noexcept;
    PlanetShaders& operator=(PlanetShaders&&) noexcept;
};

// Compiles the two programs, puts the current planet into buffer objects and
// hands both to it; makes no programs, after logging why, when the context
// offers no shader objects.
PlanetShaders setupShaders();

// Lets go of what setupShaders handed to the current planet; nothing reads
// the planet for the buffers afterwards, so it may go.
void releasePlanetGraphics();

// Whether the current planet is drawn as a window with room for it shows it
// settled: every buffer made, at its own subdivisions, with its smooth
// normals, its climate where the view colours the land by it, and its
// rivers and lakes where they are shown. --render saves no picture of less.
bool planetDrawnWhole();

// Puts the current planet into buffer objects and hands them and the
// programs to it: for a planet that replaces the one shown, only its land is
// sent when the buffers hold a planet of its subdivisions. The window's
// first planet is shown with its rivers when its land is settled; the rivers
// of a planet that replaces it come when they are made.
void attachPlanetGraphics(PlanetShaders& shaders);

// Draws the current planet: the land (uploaded again first if a live
// generation has changed it), its rivers and lakes when they are shown and
// made, then the translucent sea, each with its program, or with the fixed
// pipeline where it has none, then the glow of its air where the sea's
// program linked. pixelScale: the frame's pixels to a pixel of the screen
// (the supersampling of a smooth frame; 1 in the window), which widens the
// rivers' lines to keep their width on the screen.
void renderPlanet(float pixelScale = 1.0f);

// The shell of air whose glow shows outside the limb, in sea radii: a glow
// a few per cent of the radius wide. Land higher than this pierces it.
inline constexpr float AIR_RADIUS = 1.03f;

// The glow of the air outside the sea's limb, added to what is drawn behind
// it, with the sea's program; land standing out of the limb hides it. None
// where that program has no airRadius uniform. Leaves the depth buffer
// alone, so what is under the pointer stays the surface or nothing. Needs
// the planet's modelview.
void drawAirGlow(const Shader* water, const WorldShape& shape = {});

// Whether the land is drawn by its flat facets (key F) rather than smooth.
// Each window starts smooth; land without smooth normals is always faceted.
void setFacetedLand(bool faceted);
bool facetedLand();

// What the land is coloured by (key V); each window starts with --view's.
// A climate view is drawn as the heights until the planet's climate is sent.
void setClimateView(ClimateView view);
ClimateView climateView();
// Whether the rivers and lakes are drawn (key W). Each window starts with
// them shown.
void setRiversShown(bool shown);
bool riversShown();

// How far above the land the rivers are drawn, in radii of the planet's
// centre: two fault plane steps, about a third of a pixel at the starting
// view. A line a few pixels wide keeps its middle's depth across its width,
// so with less the land rising beside a river in its valley would hide its
// edges.
inline constexpr float RIVER_LIFT = 2.0f / 1500.0f;

// Puts next in the place of currentPlanet (released as the window stage
// releases it), turned as that one was, with its own buffer objects made
// here: on the thread that owns the context.
void showNextPlanet(std::unique_ptr<Planet> next, PlanetShaders& shaders);
