#include "TextFile.h"

#include <cstdio>
#include <sys/stat.h>

std::unique_ptr<char[]> readTextFile(const char* path)
{
    // A directory opens for reading on Linux but has no text to give.
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    std::FILE* file = std::fopen(path, "rt");
    if (!file)
        return nullptr;
    std::unique_ptr<char[]> text;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        std::rewind(file);
        if (size >= 1) {
            text = std::make_unique<char[]>(static_cast<std::size_t>(size) + 1);
            std::size_t read = std::fread(text.get(), 1, static_cast<std::size_t>(size), file);
            // Drop carriage returns before line ends, as a text-mode read does elsewhere.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < read; ++i) {
                if (text[i] == '\r' && i + 1 < read && text[i + 1] == '\n')
                    continue;
                text[kept++] = text[i];
            }
            text[kept] = '\0';
        }
    }
    std::fclose(file);
    return text;
}
