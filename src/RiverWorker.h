#pragma once

#include "OneShotWorker.h"
#include "RiverGeometry.h"
#include "WorldShape.h"

#include <cstdint>

class Planet;

// The rivers and lakes of a planet whose land has stopped changing, worked
// out once on a thread of their own (drainage, rivers and their geometry),
// so that the window's thread only uploads them. The land is copied under
// the planet's mutex; the rest works on the copy, and stops between stages,
// and within the drainage's flood, when the worker goes. failed() when the memory ran out. No GL here.
class RiverWorker : public OneShotWorker<RiverGeometry> {
public:
    // The most memory it takes, in bytes a welded vertex (121 measured at 8
    // and 9 subdivisions).
    static constexpr std::uint64_t BYTES_PER_VERTEX = 140;

    // Starts the thread, which drains the land as it is shown with shape.
    // The planet must outlive the worker. Throws std::system_error when no
    // thread can start.
    RiverWorker(Planet& planet, const WorldShape& shape);
};
