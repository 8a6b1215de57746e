#pragma once

#include <string>
#include <vector>

// The folders resources such as "res/land.vert" are looked for in, in order:
// the working directory (""); the build tree's copy beside the program (the
// program's folder, holding res/...); the installed copy
// (<prefix>/share/orbivane for <prefix>/bin/orbivane).
std::vector<std::string> resourceFolders();

// The resources named (relative, such as "res/land.vert"), every one from
// the first of folders that holds them all, so that files made to go
// together (a vertex and a fragment shader) never come from two places.
// When no folder holds them all, one line on standard error names them and
// every folder looked in, and the names come back unchanged, so that the
// error of whoever reads one names what was looked for.
std::vector<std::string> resourcePaths(const std::vector<std::string>& relatives,
                                       const std::vector<std::string>& folders = resourceFolders());
