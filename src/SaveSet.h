#pragma once

#include "SafeFile.h"

#include <string>
#include <vector>

// Files saved together (the twelve cube faces, a map with its world file and
// coordinate system) appear together or not at all. Every member is written
// in full and made durable first, unnamed; only then are they put in place,
// in the order added, each old file kept aside under a hidden name; when one
// cannot be placed, those before it are taken back (the old files return to
// their names, new names go) and the kept files go only once the set is
// whole. A signal that ends the process before the set's one commit point
// (signalcleanup::commitSet) takes every member placed back; one after it
// leaves every member new and only removes the old files kept. What could
// not be taken back is logged by name, saying which file
// holds which planet. Numbered members share one N: the first takes its N as
// SaveTarget::numbered says, the others exactly that one, failing (EEXIST)
// where it is taken.
class SaveSet {
public:
    // member must outlive the commit.
    void add(SafeFile& member) { members.push_back(&member); }

    // Whether every member is in place, each with its finalPath.
    bool commit();

    // After a failed commit: the member that failed (its failure says why),
    // and the path it was to have.
    const SafeFile* failed = nullptr;
    std::string failedName;
    int number = 0;      // the N the numbered members took (or were to take), 0 for none
    bool undone = true;  // every member placed before the failure was taken back

private:
    bool fail(std::size_t member);

    std::vector<SafeFile*> members;
};
