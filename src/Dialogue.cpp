#include "Dialogue.h"

#include "DetailLevels.h"
#include "IcosphereWeld.h"
#include "Landscape.h"
#include "Planet.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <string>
#include <unistd.h>

namespace {

const char* const SUBDIVISIONS_PROMPT =
    "Enter number of subdivisions on the icosahedron (4 is a reasonable choice): ";
const char* const ITERATIONS_PROMPT =
    "Enter number of landscape generation iterations (5000 is a reasonable choice): ";
const char* const RENDER_PROMPT =
    "Would you like to render the generation (takes a lot longer to generate, but looks cool) (y/n): ";

enum class ReadStatus { Read, Unreadable, OutOfRange, Ended };

// Characters of an answer that are kept; a longer number cannot be an int.
constexpr std::size_t TOKEN_KEPT = 32;

// One answer as read: the characters up to the next blank.
struct Token {
    std::string text;         // the first TOKEN_KEPT characters
    bool overlong = false;    // more followed
    bool digitsBeyond = true; // and those were all digits
};

// A numeric answer; value is meaningful only when Read.
struct Number {
    ReadStatus status = ReadStatus::Ended;
    bool negative = false;
    int value = 0;
};

void discardLine(std::istream& in)
{
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    if (in.eof())
        in.clear(std::ios::eofbit);
}

// False when input has ended before an answer. A line without blanks costs no
// memory beyond TOKEN_KEPT characters.
bool readToken(std::istream& in, Token& token)
{
    in >> std::ws;
    for (int c = in.peek(); c != std::char_traits<char>::eof() && !std::isspace(c); c = in.peek()) {
        in.get();
        if (token.text.size() < TOKEN_KEPT) {
            token.text += static_cast<char>(c);
        } else {
            token.overlong = true;
            token.digitsBeyond = token.digitsBeyond && std::isdigit(c);
        }
    }
    return !token.text.empty();
}

// Digits with an optional sign, and nothing else: a number that runs into
// other characters ("3.7", "5,000", "1e4", "4x") is not read at all.
Number parseInt(const Token& token)
{
    const std::string& text = token.text;
    const std::size_t sign = text[0] == '+' || text[0] == '-' ? 1 : 0;
    Number number{ReadStatus::Unreadable, text[0] == '-', 0};
    if (sign == text.size() || text.find_first_not_of("0123456789", sign) != std::string::npos || !token.digitsBeyond)
        return number;
    long long read = 0;
    // from_chars takes a minus sign but no plus sign.
    const auto result = std::from_chars(text.data() + (text[0] == '+' ? 1 : 0), text.data() + text.size(), read);
    const bool fits = !token.overlong && result.ec == std::errc() && read >= INT_MIN && read <= INT_MAX;
    number.status = fits ? ReadStatus::Read : ReadStatus::OutOfRange;
    number.value = fits ? static_cast<int>(read) : 0;
    return number;
}

// Reads one answer as an int; an unreadable one takes the rest of its line with it.
Number readInt(std::istream& in)
{
    Token token;
    if (!readToken(in, token))
        return Number{};
    const Number number = parseInt(token);
    if (number.status == ReadStatus::Unreadable)
        discardLine(in);
    return number;
}

// Returns false when input ended before anything could be read.
bool askSubdivisions(std::istream& in, std::ostream& out, int maxCount, int& subdivisions)
{
    for (;;) {
        out << SUBDIVISIONS_PROMPT << std::flush;
        const Number number = readInt(in);
        if (number.status == ReadStatus::Ended)
            return false;
        if (number.status == ReadStatus::Unreadable)
            return true;
        if (number.status == ReadStatus::Read && number.value >= 0 && number.value <= maxCount) {
            subdivisions = number.value;
            return true;
        }
        out << "The number of subdivisions must be from 0 to " << maxCount
            << " on this machine." << std::endl;
    }
}

// Returns false when input ended. A count too large for an int keeps the
// default; a negative one is refused and asked again.
bool askIterations(std::istream& in, std::ostream& out, int& iterations)
{
    for (;;) {
        out << ITERATIONS_PROMPT << std::flush;
        const Number number = readInt(in);
        if (number.status == ReadStatus::Ended)
            return false;
        if (number.status == ReadStatus::Unreadable || (number.status == ReadStatus::OutOfRange && !number.negative))
            return true;
        if (number.status == ReadStatus::Read && number.value >= 0) {
            iterations = number.value;
            return true;
        }
        out << "The number of iterations must be from 0 to " << INT_MAX << "." << std::endl;
    }
}

// Returns false when input ended. The first character of the answer's token
// is the answer: the rest of a "yes" must not become the next cycle's first
// answer, but answers after it on the same line are kept ("4 5000 n 5 ...").
bool askRender(std::istream& in, std::ostream& out, char& render)
{
    out << RENDER_PROMPT << std::flush;
    Token token;
    if (!readToken(in, token))
        return false;
    render = token.text[0];
    return true;
}

} // namespace

std::uint64_t planetBytes(int subdivisions)
{
    const int count = icosphereVertexCount(subdivisions);
    if (count < 0)
        return 0;
    const std::uint64_t vertices = static_cast<std::uint64_t>(count);
    // The window's buffer objects hold an index per corner and the welded
    // land and sea: a sixth of the corners each, 12 bytes a vertex.
    const std::uint64_t drawing = vertices * 4 + 2 * (vertices / 6 + 2) * 12;
    // Saving a mesh copies the welded positions and normals of the land and
    // (for .glb) the sea, 12 bytes each a vertex.
    const std::uint64_t saving = 4 * (vertices / 6 + 2) * 12;
    // Large planets add the coarser levels' indices: a third as many again.
    const std::uint64_t coarser = subdivisions >= FIRST_COARSENED_SUBDIVISIONS ? (vertices - 60) / 3 * 4 : 0;
    return vertices * 12 * 2 + weldBytes(vertices) + generationBytes(count) + drawing + saving + coarser;
}

int maxSubdivisions(std::uint64_t availableBytes)
{
    int best = -1;
    for (int n = 0; icosphereVertexCount(n) >= 0; ++n) {
        if (planetBytes(n) > availableBytes)
            break;
        best = n;
    }
    return best;
}

std::uint64_t availableMemoryBytes()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:")
            return kib * 1024;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::numeric_limits<std::uint64_t>::max();
}

float reportedTriangles(int subdivisions)
{
    return static_cast<float>(static_cast<double>(intPow(4.0f, subdivisions)) * 20.0 * 2.0);
}

std::optional<Answers> askQuestions(std::istream& in, std::ostream& out, int maxSubdivisionCount,
                                    const GivenAnswers& given)
{
    Answers answers;
    answers.subdivisions = given.subdivisions.value_or(answers.subdivisions);
    answers.iterations = given.iterations.value_or(answers.iterations);
    answers.render = given.render.value_or(answers.render);
    if (!given.subdivisions && !askSubdivisions(in, out, maxSubdivisionCount, answers.subdivisions))
        return std::nullopt;
    out << answers.subdivisions << " subdivisions gives " << reportedTriangles(answers.subdivisions)
        << " triangles." << std::endl;
    if ((!given.iterations && !askIterations(in, out, answers.iterations)) ||
        (!given.render && !askRender(in, out, answers.render)))
        return std::nullopt;
    out << "\n\n\n\n" << std::flush;
    return answers;
}
