#pragma once

class Planet;
struct GLFWwindow;

// What the P, E, M and C keys save from the planet shown, under names the
// program makes itself: "Orbivane-SEED-N" and an ending, with the first N
// that names nothing yet, so nothing is ever replaced or written through a
// symlink. Each outcome is logged. The colours saved show the window's view
// (key V).

// P: the back buffer as it is now, the frame about to be shown, as
// "Orbivane-SEED-N.png". Needs the window's context.
void saveScreenshot(GLFWwindow* window, const Planet& planet);

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

    // Serves every save asked for, all from planet, the one shown (P reads
    // back the frame just drawn), and clears them. A save that finds no
    // memory or no thread is reported; the window goes on.
    void serve(GLFWwindow* window, Planet& planet);
};
