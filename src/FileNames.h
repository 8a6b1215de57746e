#pragma once

#include <string_view>

// Whether the file name at the end of path ends in extension (with its
// point, e.g. ".png"), in any case, after at least one more character: "a.png"
// does, ".png" and "maps/.png" do not.
bool hasExtension(std::string_view path, std::string_view extension);
