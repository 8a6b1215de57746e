#pragma once

#include <string>

// failure value for a target that exists but is no regular file (a device, a
// pipe): replacing it would swap a system file for ours, so it is refused.
constexpr int NOT_REGULAR = -1;

// What the file being replaced has that its replacement takes over: its
// mode, its owner and group (given only by root) and its access control list,
// so that the new file is never open to more users than the old one.
struct OldFile {
    bool exists = false;
    unsigned mode = 0; // permission bits only: set-id bits are never carried over
    unsigned owner = 0, group = 0;
    unsigned long links = 1;
    std::string acl;        // its system.posix_acl_access attribute, as stored; "" for none
    int aclUnread = 0;      // the errno that kept a list it may have from being read, else 0

    // Looks at name in folder (a descriptor) without following a link: 0 for
    // a regular file or nothing at all, else EISDIR, NOT_REGULAR or an errno.
    int read(int folder, const std::string& name);

    // Gives fd, the new file, these attributes. Best effort: a file system
    // without Unix owners or modes refuses, and the file then keeps the mode
    // it was made with (0600). Where the access list cannot be carried over,
    // group and others lose every right, which the log says; name: the file
    // in that record.
    void giveTo(int fd, const std::string& name) const noexcept;
};
