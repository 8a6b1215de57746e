#pragma once

#include "GlbLayout.h"
#include "SavedLand.h"

#include <string>

// The JSON chunk's text (unpadded): asset with extras (with the classes'
// legend when the land carries them, and the planet's size when known),
// scene, nodes, meshes, materials, accessors, buffer views and the buffers.
std::string glbJson(const GlbLayout& layout, const MeshInfo& info);
