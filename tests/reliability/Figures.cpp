#include "Figures.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

void recordFigure(const std::string& name, const std::string& value)
{
    // A figure of a test that failed would tell what did not happen.
    if (testing::Test::HasFailure())
        return;
    std::printf("FIGURE %s: %s\n", name.c_str(), value.c_str());
    if (const char* path = std::getenv("ORBIVANE_FIGURES"))
        std::ofstream(path, std::ios::app) << "- " << name << ": " << value << "\n";
}
