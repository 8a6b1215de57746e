#pragma once

#include <string>

// Appends "name: value" to the file named by ORBIVANE_FIGURES, if set, and
// prints it, so that a test run can report what it tried and measured.
void recordFigure(const std::string& name, const std::string& value);
