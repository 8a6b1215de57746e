// Generated console input, fed to the dialogue as the program's cycles read it.
#include "Dialogue.h"
#include "Figures.h"

#include <climits>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>

namespace {

// One piece of console input of a kind a user, a script or line noise gives.
std::string randomPiece(std::mt19937& rng)
{
    std::uniform_int_distribution<int> kind(0, 13);
    std::uniform_int_distribution<int> small(-20, 40);
    switch (kind(rng)) {
    case 0: return std::to_string(small(rng));
    case 1: return std::to_string(std::uniform_int_distribution<long long>(LLONG_MIN / 2, LLONG_MAX / 2)(rng));
    case 2: return std::string(std::uniform_int_distribution<int>(20, 60)(rng), '9');
    case 3: return std::string("-").append(std::to_string(std::uniform_int_distribution<int>(0, 5)(rng)));
    case 4: return std::string("+").append(std::to_string(std::uniform_int_distribution<int>(0, 5)(rng)));
    case 5: return "";
    case 6: return std::string(1, "yYnN?x0 "[std::uniform_int_distribution<int>(0, 7)(rng)]);
    case 7: return std::string(std::uniform_int_distribution<int>(1000, 100000)(rng), 'a');
    case 8: return std::string("\t  ").append(std::to_string(small(rng))).append("   ");
    case 9: return std::to_string(small(rng)) + "abc";
    case 10: return "0x1F";
    case 11: return std::to_string(small(rng)) + ".5";
    case 12: {
        std::string bytes(std::uniform_int_distribution<int>(1, 40)(rng), '\0');
        for (char& c : bytes)
            c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        return bytes;
    }
    default: return "y";
    }
}

std::string randomInput(std::mt19937& rng)
{
    std::string input;
    const int lines = std::uniform_int_distribution<int>(0, 14)(rng);
    for (int i = 0; i < lines; ++i) {
        input += randomPiece(rng);
        if (std::uniform_int_distribution<int>(0, 9)(rng) != 0)
            input += '\n';
    }
    return input;
}

// Every integer written in the input, as the stream would read its digits.
std::set<long long> integersIn(const std::string& input)
{
    std::set<long long> found;
    for (size_t i = 0; i < input.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(input[i])))
            continue;
        size_t end = i;
        while (end < input.size() && std::isdigit(static_cast<unsigned char>(input[end])))
            ++end;
        const std::string digits = input.substr(i, std::min<size_t>(end - i, 18));
        const long long value = std::stoll(digits);
        found.insert(value);
        found.insert(-value);
        i = end;
    }
    return found;
}

TEST(DialogueFuzz, ThousandGeneratedInputsEachEndWithEveryAnswerTypedOrDefault)
{
    int cases = 0, cycles = 0, refusals = 0;
    for (std::uint32_t seed = 1; seed <= 1000; ++seed) {
        std::mt19937 rng(seed);
        const std::string input = randomInput(rng);
        const std::set<long long> typed = integersIn(input);
        std::istringstream in(input);
        std::ostringstream out;
        // A cycle reads at least one character, so the input bounds the cycles.
        const int bound = static_cast<int>(input.size()) + 1;
        int cycle = 0;
        for (; cycle <= bound; ++cycle) {
            const std::optional<Answers> answers = askQuestions(in, out, 12);
            if (!answers)
                break;
            const Answers a = *answers;
            ASSERT_TRUE(a.subdivisions == 4 || (typed.count(a.subdivisions) && a.subdivisions >= 0 && a.subdivisions <= 12))
                << "seed " << seed << ": " << a.subdivisions;
            ASSERT_TRUE(a.iterations == 1000 || typed.count(a.iterations)) << "seed " << seed << ": " << a.iterations;
            ASSERT_GE(a.iterations, 0) << "seed " << seed;
            ASSERT_TRUE(a.render == 'n' || input.find(a.render) != std::string::npos) << "seed " << seed;
            ASSERT_FALSE(std::isspace(static_cast<unsigned char>(a.render)));
        }
        ASSERT_LE(cycle, bound) << "seed " << seed << " did not reach the end of its input";
        ++cases;
        cycles += cycle;
        const std::string said = out.str();
        for (size_t at = said.find("must be from 0 to"); at != std::string::npos; at = said.find("must be from 0 to", at + 1))
            ++refusals;
    }
    recordFigure("dialogue: generated inputs", std::to_string(cases) + " inputs, " + std::to_string(cycles) +
                                                   " cycles, " + std::to_string(refusals) + " refused counts");
}

} // namespace
