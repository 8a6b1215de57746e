#pragma once

#include <string>

// What a path that is to be written names, so that two spellings of one
// file compare equal: the device and inode of the file it leads to, through
// symlinks and hard links; for a file not there yet, the device and inode of
// its folder and its name in there, a dangling symlink followed to where its
// target would be; the normalised absolute path when not even the folder is
// there.
std::string fileIdentity(const std::string& path);
