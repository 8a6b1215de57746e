#pragma once

class Planet;
class ViewControl;
struct GLFWwindow;

// What the P, E, M and C keys save from the planet shown, under names the
// program makes itself: "Orbivane-SEED-N" and an ending, with the first N
// that names nothing yet, so nothing is ever replaced or written through a
// symlink. Each outcome is logged. The colours saved show the window's view
// (key V).

// P: the frame about to be shown, drawn again off screen as view holds it,
// smooth on every renderer (drawSmoothFrame) at the framebuffer's size, as
// "Orbivane-SEED-N.png"; the back buffer itself where the context offers no
// framebuffer objects. Needs the window's context.
void saveScreenshot(GLFWwindow* window, const Planet& planet, const ViewControl& view);

// E: the planet as it stands, as "Orbivane-SEED-N.ply".
void exportShown(Planet& planet);

// M: "Orbivane-SEED-N-map.png" and "Orbivane-SEED-N-height.png" at the
// default width, one N for the pair.
void saveMaps(Planet& planet);

// C: the six height and six colour cube faces at the default size as
// "Orbivane-SEED-N-px.png", "Orbivane-SEED-N-px-colour.png" and so on, one N
// for all twelve.
void saveCubeFaces(Planet& planet);

// The saves the P, E, M and C keys asked for and not yet served.
struct SaveRequests {
    bool screenshot = false; // P
    bool mesh = false;       // E
    bool maps = false;       // M
    bool cubeFaces = false;  // C

    bool any() const { return screenshot || mesh || maps || cubeFaces; }

    // Serves every save asked for, all from planet, the one shown (P draws
    // the frame just drawn again, as view holds it), and clears them. A save
    // that finds no memory or no thread is reported; the window goes on.
    void serve(GLFWwindow* window, Planet& planet, const ViewControl& view);
};
