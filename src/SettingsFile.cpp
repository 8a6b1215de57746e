#include "SettingsFile.h"

#include "FileDescriptor.h"
#include "GeoTiff.h"
#include "SafeFile.h"
#include "SafePath.h"
#include "SettingsRecord.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using nlohmann::json;

// The file at path opened for reading, found by the writers' path walk so
// that another user's link in a sticky world-writable folder is refused as
// the writers refuse it, before a byte of what it leads to is read; invalid,
// with why, when it cannot be.
FileDescriptor openToRead(const std::string& path, std::string& why)
{
    FilePlace place;
    int failure = findPlace(path, true, place);
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileDescriptor file(failure != 0 ? -1
                                     : ::openat(place.folder.get(), place.name.c_str(),
                                                O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (failure == 0 && !file.valid())
        failure = errno;
    if (failure == EISDIR)
        why = "is not a regular file";
    else if (failure != 0)
        why = "cannot be read: " + failureText(failure);
    return file;
}

// The file's first bytes, up to SETTINGS_FILE_HEAD; nothing, with why, when
// it cannot be opened or read or is not a regular file.
std::optional<std::string> readHead(const std::string& path, std::string& why)
{
    FileDescriptor file = openToRead(path, why);
    struct stat status {};
    if (!file.valid())
        return std::nullopt;
    if (::fstat(file.get(), &status) != 0) {
        why = "cannot be read: " + std::string(std::strerror(errno));
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        why = "is not a regular file";
        return std::nullopt;
    }
    std::string head(SETTINGS_FILE_HEAD, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(file.get(), head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = "cannot be read: " + std::string(std::strerror(errno));
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    head.resize(got);
    return head;
}

std::uint32_t bigEndian32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k)
        value = value << 8 | static_cast<unsigned char>(bytes[std::size_t(k)]);
    return value;
}

std::uint32_t littleEndian32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | static_cast<unsigned char>(bytes[std::size_t(k)]);
    return value;
}

// The text of the tEXt chunk of the keyword, among the chunks before IDAT.
std::optional<std::string> pngRecord(std::string_view png)
{
    const std::string key = std::string(SETTINGS_KEYWORD) + '\0';
    for (std::size_t at = 8; png.size() - at >= 12;) {
        const std::uint64_t length = bigEndian32(png.substr(at, 4));
        const std::string_view type = png.substr(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > png.size() - at - 12)
            break;
        const std::string_view data = png.substr(at + 8, length);
        if (type == "tEXt" && data.starts_with(key))
            return std::string(data.substr(key.size()));
        at += 12 + length;
    }
    return std::nullopt;
}

// The text after prefix on the first line of lines (up to the header's end,
// or the first line not starting with lead) that starts with prefix.
std::optional<std::string> commentRecord(std::string_view text, std::string_view lead, std::string_view end,
                                         const std::string& prefix)
{
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos)
            break; // a line cut by the end of the head is not whole
        std::string_view line = text.substr(0, newline);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.starts_with(prefix))
            return std::string(line.substr(prefix.size() - SETTINGS_KEYWORD.size() - 1));
        if (line == end || !line.starts_with(lead))
            break;
        text.remove_prefix(newline + 1);
    }
    return std::nullopt;
}

// Reads a JSON document only as far as the string at a path of member
// names, so that the head of a long document is enough.
class MemberAt : public nlohmann::json_sax<json> {
public:
    explicit MemberAt(std::vector<std::string> path) : path(std::move(path)) {}
    std::optional<std::string> found;

    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t) override { return scalar(); }
    bool number_unsigned(number_unsigned_t) override { return scalar(); }
    bool number_float(number_float_t, const string_t&) override { return scalar(); }
    bool string(string_t& value) override
    {
        if (wanted)
            found = value;
        return scalar() && !found;
    }
    bool binary(binary_t&) override { return scalar(); }
    bool start_object(std::size_t) override { return open(""); }
    bool end_object() override { return close(); }
    // An array's elements have no names: none of them is on the path.
    bool start_array(std::size_t) override { return open("\x01"); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override
    {
        keys.back() = name;
        wanted = keys == path;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool scalar()
    {
        wanted = false;
        return true;
    }
    bool open(const char* name)
    {
        wanted = false;
        keys.emplace_back(name);
        return true;
    }
    bool close()
    {
        keys.pop_back();
        return true;
    }
    const std::vector<std::string> path;
    std::vector<std::string> keys; // the names down to the value being read
    bool wanted = false;
};

std::optional<std::string> memberAt(std::string_view text, std::vector<std::string> path)
{
    MemberAt member(std::move(path));
    json::sax_parse(text.begin(), text.end(), &member, json::input_format_t::json, false);
    return member.found;
}

// asset.extras' member of the keyword in a glb's JSON chunk; a chunk longer
// than the head (a fine planet's many parts) is read as far as the head
// goes, which holds the asset that Orbivane writes first.
std::optional<std::string> glbRecord(std::string_view glb, std::string& why)
{
    if (glb.size() < 20 || glb.substr(16, 4) != "JSON")
        return std::nullopt;
    const std::uint64_t length = littleEndian32(glb.substr(12, 4));
    const bool whole = length <= glb.size() - 20;
    std::optional<std::string> record =
        memberAt(glb.substr(20, whole ? length : glb.size() - 20), {"asset", "extras", std::string(SETTINGS_KEYWORD)});
    if (!record && !whole)
        why = "has a glTF JSON chunk larger than the " + std::to_string(SETTINGS_FILE_HEAD) + " bytes read";
    return record;
}

std::optional<std::string> jsonRecord(std::string_view text)
{
    return memberAt(text, {std::string(SETTINGS_KEYWORD)});
}

} // namespace

std::optional<std::string> readSettingsRecord(const std::string& path, std::string& why)
{
    const std::optional<std::string> head = readHead(path, why);
    if (!head)
        return std::nullopt;
    const std::string_view bytes(*head);
    const std::string keyword(SETTINGS_KEYWORD);
    const std::size_t text = bytes.find_first_not_of(" \t\r\n");
    std::optional<std::string> record;
    if (bytes.starts_with("\x89PNG\r\n\x1a\n"))
        record = pngRecord(bytes);
    else if (bytes.starts_with("glTF"))
        record = glbRecord(bytes, why);
    else if (bytes.starts_with(std::string_view("II*\0", 4)) || bytes.starts_with(std::string_view("MM\0*", 4)) ||
             bytes.starts_with(std::string_view("II+\0", 4)) || bytes.starts_with(std::string_view("MM\0+", 4)))
        record = geoTiffSettingsRecord(bytes, why);
    else if (bytes.starts_with("ply\n") || bytes.starts_with("ply\r\n"))
        record = commentRecord(bytes, "", "end_header", "comment " + keyword + "/");
    else if (bytes.starts_with("#"))
        record = commentRecord(bytes, "#", "", "# " + keyword + "/");
    else if (text != std::string_view::npos && bytes[text] == '{')
        record = jsonRecord(bytes);
    else {
        why = "is not a file Orbivane saves (PNG, GeoTIFF, PLY, OBJ, glb or JSON)";
        return std::nullopt;
    }
    if (!record && why.empty())
        why = "holds no settings record";
    return record;
}
