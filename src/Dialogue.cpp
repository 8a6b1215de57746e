#include "Dialogue.h"

#include "IcosphereWeld.h"
#include "Landscape.h"
#include "Planet.h"

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

void discardLine(std::istream& in)
{
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    if (in.eof())
        in.clear(std::ios::eofbit);
}

// Reads one whitespace-separated integer. A failed read leaves value alone.
ReadStatus readInt(std::istream& in, int& value)
{
    in >> std::ws;
    if (in.peek() == std::char_traits<char>::eof())
        return ReadStatus::Ended;
    long long read = 0;
    in >> read;
    if (in.fail()) {
        const bool overflow = read == LLONG_MAX || read == LLONG_MIN;
        discardLine(in);
        return overflow ? ReadStatus::OutOfRange : ReadStatus::Unreadable;
    }
    if (read < INT_MIN || read > INT_MAX)
        return ReadStatus::OutOfRange;
    value = static_cast<int>(read);
    return ReadStatus::Read;
}

// Returns false when input ended before anything could be read.
bool askSubdivisions(std::istream& in, std::ostream& out, int maxCount, int& subdivisions)
{
    for (;;) {
        out << SUBDIVISIONS_PROMPT << std::flush;
        int value = subdivisions;
        const ReadStatus status = readInt(in, value);
        if (status == ReadStatus::Ended)
            return false;
        if (status == ReadStatus::Unreadable)
            return true;
        if (status == ReadStatus::Read && value >= 0 && value <= maxCount) {
            subdivisions = value;
            return true;
        }
        out << "The number of subdivisions must be from 0 to " << maxCount
            << " on this machine." << std::endl;
    }
}

} // namespace

std::uint64_t planetBytes(int subdivisions)
{
    const int count = icosphereVertexCount(subdivisions);
    if (count < 0)
        return 0;
    const std::uint64_t vertices = static_cast<std::uint64_t>(count);
    // Export streams from the land through the weld in chunks of a few
    // hundred KiB, so what saving needs beyond these is small and fixed.
    return vertices * 12 * 2 + weldBytes(vertices) + generationBytes(count);
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

std::optional<Answers> askQuestions(std::istream& in, std::ostream& out, int maxSubdivisionCount)
{
    Answers answers;
    if (!askSubdivisions(in, out, maxSubdivisionCount, answers.subdivisions))
        return std::nullopt;
    out << answers.subdivisions << " subdivisions gives " << reportedTriangles(answers.subdivisions)
        << " triangles." << std::endl;

    out << ITERATIONS_PROMPT << std::flush;
    readInt(in, answers.iterations);

    out << RENDER_PROMPT << std::flush;
    char render = 0;
    if (in >> render)
        answers.render = render;
    // One character is the answer: the rest of a "yes" must not become the
    // next cycle's first answer.
    discardLine(in);

    out << "\n\n\n\n" << std::flush;
    return answers;
}
