// Answers that are almost right, through the real program's standard input.
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace driver;

namespace {

TEST(ProgramAnswers, NoAnswerShiftsIntoTheNextAndEndOfInputMakesNoPlanet)
{
    ScopedTempDir dir;
    const struct {
        const char* input;
        const char* planet; // the record of the planet made, or "" for none
    } cases[] = {
        {"3.7\n5000\nn\n", "Generating planet with 10240 triangles and 5000 iterations..."},
        {"4\n1e4\nn\n", "Generating planet with 10240 triangles and 1000 iterations..."},
        {"4x 2\n5,000 y\nn\n", "Generating planet with 10240 triangles and 1000 iterations..."},
        {"2\n-5\n10\nn\n", "Generating planet with 640 triangles and 10 iterations..."},
        {"4 5000 n\n", "Generating planet with 10240 triangles and 5000 iterations..."},
        {"3\n", ""},
        {"3\n10\n", ""},
        {"3\n1e4 n\n", ""},
    };
    for (const auto& c : cases) {
        const CommandResult run = runCommand("timeout 60 env -u DISPLAY " + shellQuote(ORBIVANE_BINARY), c.input);
        EXPECT_EQ(run.status, 0) << c.input;
        const std::string planet = c.planet;
        EXPECT_EQ(countOf(run.out, "Generating planet"), planet.empty() ? 0 : 1) << c.input << run.out;
        if (!planet.empty()) {
            EXPECT_NE(run.out.find(planet), std::string::npos) << c.input << run.out;
            EXPECT_NE(run.out.find("Planet generation done in"), std::string::npos) << "batch, as typed: " << c.input;
        }
    }
    recordFigure("answers: almost right", std::to_string(std::size(cases)) +
                                              " inputs (3.7, 1e4, 4x, 5,000, -5, blanks, end of input at each question): no shift, no planet after end of input");
}

} // namespace
