#pragma once

#include <string>

// Where to read a resource such as "res/land.vert": the working directory
// when it holds it, else the installed copy beside the program
// (<prefix>/share/orbivane/res/...), else the name unchanged so that the
// error names what was looked for.
std::string resourcePath(const std::string& relative);
