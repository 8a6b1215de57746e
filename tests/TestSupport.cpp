#include "TestSupport.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir()
{
    char pattern[] = "/tmp/orbivane-test-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    previous = fs::current_path().string();
    fs::current_path(dir);
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code ignored;
    fs::current_path(previous, ignored);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

CommandResult runCommand(const std::string& command, const std::string& input)
{
    char pattern[] = "/tmp/orbivane-cmd-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    const std::string dir = pattern;
    {
        std::ofstream(dir + "/in", std::ios::binary) << input;
    }
    const std::string line = "( " + command + " ) <" + dir + "/in >" + dir + "/out 2>" + dir + "/err";
    const int raw = std::system(line.c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(dir + "/out");
    result.err = readFile(dir + "/err");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}
