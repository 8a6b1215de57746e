#pragma once

#include <cstddef>
#include <vector>

class Planet;

// A planet's land as it stood between two fault planes, and how many planes
// it holds: what an export or a map saves. Taken at the end of the plane
// under way (the live generation then goes on while the snapshot is used),
// so its land is copied, 12 bytes a welded vertex; land that no generation
// changes any more is read in place.
class LandSnapshot {
public:
    explicit LandSnapshot(Planet& planet);

    // x, y, z of welded vertex v (IcosphereWeld's numbering).
    const float* position(std::size_t v) const;

    // All welded positions in a row, x, y, z each, when the land was copied;
    // null when it is read in place.
    const float* copied() const { return copy.empty() ? nullptr : copy.data(); }

    int applied() const { return planes; } // fault planes the land holds
    bool stopped() const { return halted; } // its generation ended before its last plane

private:
    const Planet& planet;
    std::vector<float> copy;
    int planes = 0;
    bool halted = false;
};
