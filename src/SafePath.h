#pragma once

#include "FileDescriptor.h"

#include <string>
#include <sys/stat.h>

// failure value for a symlink the kernel's protected_symlinks rule would not
// follow: another user's link in a sticky world-writable folder.
constexpr int UNTRUSTED_LINK = -2;

// failure value for a file the kernel's protected_regular rule would not let
// be written: another user's file in a sticky world-writable folder.
constexpr int UNTRUSTED_FILE = -3;

// The rule of both: an entry (a link or a file) owned by owner may be used in
// a folder whose status is folder unless the folder is sticky and
// world-writable and owner is neither the running user nor the folder's owner.
bool trustedIn(uid_t owner, const struct stat& folder);

// The reason for UNTRUSTED_LINK or UNTRUSTED_FILE, for messages; nullptr for
// any other failure.
const char* untrustedText(int failure);

// Where a file is to be written: its folder, held open, so that every later
// step (the new file, the link, the rename, a look at the old file) happens
// in that very folder whatever is renamed or linked on the way meanwhile,
// and the file's name in there.
struct FilePlace {
    FileDescriptor folder; // O_PATH: for the *at calls, never read
    std::string name;      // one component, never "." or ".."
    std::string path;      // for messages: as given, its last link followed as text
};

// Walks path one component at a time without letting the kernel follow any
// link: a link, wherever it stands on the way, is followed only as the kernel
// does with fs.protected_symlinks (whatever the sysctl says): in a sticky
// world-writable folder (/tmp) only when its owner is the folder's or the
// running user, so that another user's link cannot turn a save into a write
// to a folder of their choosing. followLast: a link at the end is followed
// too (a dangling one to where its target would be); else the end is taken
// as it is. Returns 0, UNTRUSTED_LINK, ELOOP after 40 links, EISDIR for a
// path that names a folder, or the errno of the step that failed.
int findPlace(const std::string& path, bool followLast, FilePlace& place);

// The folder path names, walked by the same rule, every link followed; an
// empty path is ".". 0 or a failure as findPlace's.
int findFolder(const std::string& path, FileDescriptor& folder);
