#pragma once

#include "BigArray.h"

#include <cstddef>
#include <cstdint>

// How much warmer (°C, negative: colder) the ocean gyres make the sea's
// surface than the zonal mean, per vertex: warm currents poleward along the
// western sides of the oceans and cold ones along the eastern sides between
// about 10° and 45°, the other way round between about 45° and 75°. An ocean
// has sides only where land closes its latitude ring: a ring of sea all round
// the globe has no anomaly.
//
// up: unit x, y, z per vertex (+y north, longitude atan2(-z, x) growing
// eastward); latitude: degrees per vertex; sea: nonzero per sea vertex;
// kmPerRadian: km per radian on the sea's surface. Land vertices get 0. The
// same for any count of threads (1 or more). Throws std::bad_alloc when its
// arrays (4 bytes a vertex, the result) cannot be had.
BigArray<float> gyreAnomaly(const float* up, const float* latitude, const std::uint8_t* sea, std::size_t n,
                            double kmPerRadian, int threads);
