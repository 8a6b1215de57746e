#pragma once

#include <string>

// The one named temporary file that a signal ending the process removes
// before it takes its usual course: one slot, process-wide, used by SafeFile.
// Covers every signal whose default action ends the process (SIGHUP, SIGINT,
// SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, ... and the real-time ones),
// but only those still at their default action, so a signal the program
// ignores or handles itself keeps its disposition.
namespace signalcleanup {

// Takes the slot and installs the handlers; false when another file holds it.
bool claim();

// The file the handler removes, set before the file is made so that no
// moment exists where it is there and the handler does not know it; an empty
// path for none. Only the slot's holder calls this.
void pointAt(const std::string& path);

// Gives every signal its previous action back and frees the slot.
void release();

} // namespace signalcleanup
