#include "Rotation.h"

#include "Orbivane.h"
#include "Planet.h"

#include <climits>
#include <cstdlib>

void updateRotation(Planet& planet, float dtMs, RandomSource random)
{
    if (!planet.rotating)
        return;
    // A timer that runs backwards would make the chance below undefined.
    if (!(dtMs > 0.0f))
        dtMs = 0.0f;
    for (int k = 0; k < 3; ++k)
        planet.angle[k] += dtMs * planet.speed[k];

    // A frame of days (a machine woken from sleep) would overflow an int.
    const double chance = dtMs * 200.0 + 1.0;
    const int n = chance >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(chance);
    if (random() % n == 0)
        planet.speed[0] = -planet.speed[0];
    else if (random() % n == 0)
        planet.speed[1] = -planet.speed[1];
    else if (random() % n == 0)
        planet.speed[2] = -planet.speed[2];
}

void updatePlanet(float dtMs)
{
    if (currentPlanet)
        updateRotation(*currentPlanet, dtMs, [] { return std::rand(); });
}
