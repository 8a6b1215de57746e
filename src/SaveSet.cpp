#include "SaveSet.h"

bool SaveSet::fail(std::size_t member)
{
    const SafeFile& file = *members[member];
    failed = &file;
    const SaveTarget& target = file.target;
    failedName = target.isNumbered && number > 0 ? target.prefix + std::to_string(number) + target.suffix
                                                 : target.name();
    for (std::size_t before = member; before-- > 0;)
        undone = members[before]->undo() && undone;
    return false;
}

bool SaveSet::commit()
{
    failed = nullptr;
    failedName.clear();
    number = 0;
    undone = true;
    for (std::size_t member = 0; member < members.size(); ++member)
        if (members[member]->prepare() != 0)
            return fail(member);
    const bool keepOld = members.size() > 1; // a set of one needs nothing kept: a rename is whole
    const signalcleanup::Set together;
    for (std::size_t member = 0; member < members.size(); ++member)
        if (members[member]->place(number, keepOld, together.get()) != 0)
            return fail(member);
    signalcleanup::commitSet(together.get()); // a signal before takes every member back, one after none
    for (SafeFile* member : members)
        member->settle();
    return true;
}
