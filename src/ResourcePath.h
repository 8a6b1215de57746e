#pragma once

#include <string>
#include <vector>

// The places a resource such as "res/land.vert" is looked for, in order: the
// working directory; the copy the build tree keeps beside the program
// (<program's folder>/res/...); the installed copy
// (<prefix>/share/orbivane/res/... for <prefix>/bin/orbivane).
std::vector<std::string> resourceCandidates(const std::string& relative);

// The first of those places that holds the resource. When none does, one
// line on standard error names every place looked in, and the name comes back
// unchanged so that the error of whoever reads it names what was looked for.
std::string resourcePath(const std::string& relative);
