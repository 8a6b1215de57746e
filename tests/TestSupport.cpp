#include "TestSupport.h"
#include "Landscape.h"
#include "Planet.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

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

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv, const std::string& input,
                                     const std::vector<std::string>& environment, bool interactive)
{
    char pattern[] = "/tmp/orbivane-run-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    std::ofstream(dir + "/in", std::ios::binary) << input;
    int pipeEnds[2] = {-1, -1};
    if (interactive && pipe(pipeEnds) != 0)
        throw std::runtime_error("pipe failed");
    child = fork();
    if (child == 0) {
        if (interactive) {
            dup2(pipeEnds[0], STDIN_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        } else if (!freopen((dir + "/in").c_str(), "rb", stdin)) {
            _exit(126);
        }
        if (!freopen((dir + "/out").c_str(), "wb", stdout) || !freopen((dir + "/err").c_str(), "wb", stderr))
            _exit(126);
        for (const std::string& setting : environment) {
            const auto eq = setting.find('=');
            if (eq == std::string::npos)
                unsetenv(setting.c_str());
            else
                setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (interactive) {
        close(pipeEnds[0]);
        inputPipe = pipeEnds[1];
        signal(SIGPIPE, SIG_IGN);
        send(input);
    }
}

BackgroundProgram::~BackgroundProgram()
{
    closeInput();
    if (child > 0 && !ended) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void BackgroundProgram::send(const std::string& text)
{
    size_t done = 0;
    while (inputPipe >= 0 && done < text.size()) {
        const ssize_t written = write(inputPipe, text.data() + done, text.size() - done);
        if (written <= 0)
            break;
        done += static_cast<size_t>(written);
    }
}

void BackgroundProgram::closeInput()
{
    if (inputPipe >= 0)
        close(inputPipe);
    inputPipe = -1;
}

bool BackgroundProgram::running()
{
    if (ended)
        return false;
    int raw = 0;
    struct rusage usage {};
    if (wait4(child, &raw, WNOHANG, &usage) == child) {
        ended = true;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        peakResidentKib = usage.ru_maxrss;
    }
    return !ended;
}

int BackgroundProgram::waitForExit(double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ended ? status : -1;
}

long BackgroundProgram::residentKib() const
{
    std::ifstream statusFile("/proc/" + std::to_string(child) + "/status");
    for (std::string line; std::getline(statusFile, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

std::string BackgroundProgram::out() const { return readFile(dir + "/out"); }
std::string BackgroundProgram::err() const { return readFile(dir + "/err"); }

PlyFile readPlyFile(const std::string& path)
{
    const std::string bytes = readFile(path);
    PlyFile ply;
    const std::size_t body = bytes.find("end_header\n");
    if (body == std::string::npos)
        return ply;
    std::istringstream header(bytes.substr(0, body));
    std::size_t vertices = 0, faces = 0, record = 0; // record: bytes a vertex
    for (std::string line; std::getline(header, line);) {
        if (line.starts_with("comment ") && ply.comment.empty())
            ply.comment = line.substr(8);
        std::sscanf(line.c_str(), "element vertex %zu", &vertices);
        std::sscanf(line.c_str(), "element face %zu", &faces);
        record += line.starts_with("property float ") ? 4 : line.starts_with("property uchar ") ? 1 : 0;
    }
    const std::size_t at = body + 11;
    ply.whole = bytes.size() == at + record * vertices + 13 * faces;
    if (!ply.whole)
        return ply;
    ply.xyz.resize(3 * vertices);
    for (std::size_t v = 0; v < vertices; ++v)
        std::memcpy(&ply.xyz[3 * v], &bytes[at + record * v], 12);
    ply.faces.resize(3 * faces);
    for (std::size_t f = 0; f < faces; ++f)
        std::memcpy(&ply.faces[3 * f], &bytes[at + record * vertices + 13 * f + 1], 12);
    return ply;
}

std::unique_ptr<Planet> quietPlanet(std::uint32_t seed, int subdivisions, int iterations)
{
    setFixedSeed(seed);
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(subdivisions, iterations, false);
    testing::internal::GetCapturedStdout();
    setFixedSeed(std::nullopt);
    return planet;
}
