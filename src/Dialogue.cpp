#include "Dialogue.h"

#include "DetailLevels.h"
#include "IcosphereWeld.h"
#include "Landscape.h"
#include "Planet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstring>
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

enum class ReadStatus { Read, Unreadable, OutOfRange, TooLong, Ended };

// Characters of an answer that are kept; a longer number cannot be an int.
constexpr std::size_t TOKEN_KEPT = 32;

// Longest answer line, in bytes before its line end: an answer on a longer
// line is refused, the rest of the line skipped unstored, and its question
// asked again.
constexpr long LINE_LIMIT = 4096;

// Over-long lines refused in a row at one question before the input is taken
// as ended: no answer is coming from it.
constexpr int REFUSED_LINES_LIMIT = 8;

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

// Bytes of the current line read so far, 0 to LINE_LIMIT + 1; kept with the
// stream, as the answers of one line may span questions and cycles.
long& lineColumn(std::istream& in)
{
    static const int slot = std::ios_base::xalloc();
    return in.iword(slot);
}

// Skips the rest of the line in chunks of LINE_LIMIT bytes, storing none, and
// says whether the line stayed within LINE_LIMIT. LINE_LIMIT NUL bytes in a
// row stop the skipping short, the line still over the limit: a source of
// endless NULs (/dev/zero) has no line end, and each such stretch counts as
// one more refused line.
bool skipLine(std::istream& in)
{
    long& column = lineColumn(in);
    char chunk[LINE_LIMIT + 1];
    long nuls = 0;
    for (;;) {
        if (!in.good())
            return column <= LINE_LIMIT;
        in.getline(chunk, sizeof chunk);
        const bool lineEnded = in.good();
        in.clear(in.rdstate() & ~std::ios::failbit); // set by a chunk that did not reach the line end
        const std::streamsize stored = in.gcount() - (lineEnded ? 1 : 0);
        column = std::min(column + static_cast<long>(stored), LINE_LIMIT + 1);
        if (!std::memchr(chunk, '\0', static_cast<std::size_t>(stored)))
            nuls = 0; // text, the common case, at memchr's speed
        else
            for (std::streamsize i = 0; i < stored && nuls < LINE_LIMIT; ++i)
                nuls = chunk[i] == '\0' ? nuls + 1 : 0;
        if (lineEnded || nuls >= LINE_LIMIT) {
            const bool within = column <= LINE_LIMIT;
            column = lineEnded ? 0 : column;
            return within;
        }
    }
}

// Reads the next answer: Ended when input ends before one, TooLong (the rest
// of the line skipped) when its line passes LINE_LIMIT first. A line without
// blanks costs no memory beyond TOKEN_KEPT characters.
ReadStatus readToken(std::istream& in, Token& token)
{
    long& column = lineColumn(in);
    for (int c = in.peek(); c != std::char_traits<char>::eof(); c = in.peek()) {
        const bool blank = std::isspace(c);
        if (blank && !token.text.empty())
            break;
        if (c != '\n' && column >= LINE_LIMIT) {
            skipLine(in);
            return ReadStatus::TooLong;
        }
        in.get();
        column = c == '\n' ? 0 : column + 1;
        if (blank)
            continue;
        if (token.text.size() < TOKEN_KEPT) {
            token.text += static_cast<char>(c);
        } else {
            token.overlong = true;
            token.digitsBeyond = token.digitsBeyond && std::isdigit(c);
        }
    }
    return token.text.empty() ? ReadStatus::Ended : ReadStatus::Read;
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

// Reads one answer as an int; an unreadable one takes the rest of its line
// with it, and is TooLong when that line is.
Number readInt(std::istream& in)
{
    Token token;
    const ReadStatus status = readToken(in, token);
    if (status != ReadStatus::Read)
        return Number{status};
    const Number number = parseInt(token);
    if (number.status == ReadStatus::Unreadable && !skipLine(in))
        return Number{ReadStatus::TooLong};
    return number;
}

// Says that an answer's over-long line was refused, so that its question is
// asked again; false, after saying that the input is taken as ended, at the
// REFUSED_LINES_LIMIT-th line refused in a row.
bool refuseLongLine(std::istream& in, std::ostream& out, int& refused)
{
    if (++refused < REFUSED_LINES_LIMIT) {
        out << "That line is longer than " << LINE_LIMIT << " bytes; it is skipped." << std::endl;
        return true;
    }
    out << "Too many lines longer than " << LINE_LIMIT << " bytes; the input is taken as ended." << std::endl;
    in.setstate(std::ios::eofbit);
    return false;
}

// Shows prompt and reads one answer as an int, again while its line is
// refused as over-long; Ended when input ends.
Number askInt(std::istream& in, std::ostream& out, const char* prompt)
{
    for (int refused = 0;;) {
        out << prompt << std::flush;
        const Number number = readInt(in);
        if (number.status != ReadStatus::TooLong)
            return number;
        if (!refuseLongLine(in, out, refused))
            return Number{};
    }
}

// Returns false when input ended before anything could be read.
bool askSubdivisions(std::istream& in, std::ostream& out, int maxCount, int& subdivisions)
{
    for (;;) {
        const Number number = askInt(in, out, SUBDIVISIONS_PROMPT);
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
        const Number number = askInt(in, out, ITERATIONS_PROMPT);
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
    for (int refused = 0;;) {
        out << RENDER_PROMPT << std::flush;
        Token token;
        const ReadStatus status = readToken(in, token);
        if (status == ReadStatus::Read) {
            render = token.text[0];
            return true;
        }
        if (status == ReadStatus::Ended || !refuseLongLine(in, out, refused))
            return false;
    }
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
    // Saving a mesh copies the welded positions and normals of the land, 12
    // bytes each a vertex; a .glb also cuts the land into parts (MeshParts.h:
    // about 28 bytes a vertex while it is written) and adds a sea of at most
    // 10,242 vertices.
    const std::uint64_t saving = (vertices / 6 + 2) * (2 * 12 + 28) + 10242 * 2 * 12;
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
