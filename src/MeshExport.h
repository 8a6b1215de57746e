#pragma once

#include "OptionTable.h"
#include "SafeFile.h"
#include "SavedLand.h"

#include <string>

// Writes the planet through SafeFile in the format its extension (any case)
// picks: ".ply" binary little-endian PLY (the land with colours and
// normals, its sea floor coloured as sea, see PlyWriter.h), ".obj" text OBJ
// (the land and the sea, with colours and normals, see ObjWriter.h) or
// ".glb" glTF 2.0 binary (the land and the sea, see GlbWriter.h). Faces run counter-clockwise
// from outside. Returns false and says why in error when the type is unknown,
// memory runs out or the file cannot be written; any old file is then as it
// was. written gets the file's name.
bool exportMesh(const SaveTarget& target, const LandView& land, const MeshInfo& info, std::string& error,
                std::string* written = nullptr);

// True when path's format holds lines (".glb"): the rivers are worth
// working out for it.
bool holdsLines(const std::string& path);
