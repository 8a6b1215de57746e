#pragma once

#include "CommandLine.h"

#include <optional>
#include <string>

// Checks, before any planet is made, that every file the options name
// (outputFiles) has a folder that exists and that this user may write into,
// found by the writers' path walk (SafePath.h) so that links on the way are
// judged as a save would judge them: a planet is not made for minutes only
// to find it has nowhere to go. A folder that changes afterwards is still
// found out by the save itself.

// "--map maps/m.png cannot be saved: its folder maps/ cannot be written into:
// No such file or directory" for the first file whose folder fails; nothing
// when all pass.
std::optional<std::string> unwritableOutputFolder(const Options& options);
