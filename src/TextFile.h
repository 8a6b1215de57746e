#pragma once

#include <memory>

// The whole file as NUL-terminated text, or null when it cannot be opened,
// is not a regular file, or is empty. Text mode: CR LF arrives as LF.
std::unique_ptr<char[]> readTextFile(const char* path);
