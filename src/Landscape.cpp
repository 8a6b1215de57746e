#include "Landscape.h"

#include "Planet.h"

std::uint64_t generationBytes(int vertexCount)
{
    return static_cast<std::uint64_t>(vertexCount) * 2 * sizeof(int);
}

void startLandscapeGeneration(Planet&, int, bool)
{
}

void stopLiveGeneration(Planet&)
{
}
