#pragma once

#include <string>

// X protocol errors seen by the window. Xlib's default handler ends the
// process on the first one, as when another client destroys the window
// (BadDrawable at the next swap); this records it instead, so the frame loop
// can report it and close the window as the user would.

// Installs the recording handler, process-wide. GLFW sets a handler of its
// own around some calls and resets Xlib's default afterwards, so this is
// called once the window exists. Forgets any error recorded before.
void recordXErrors();

// Whether an X error was recorded since the last call; if so, text gets
// Xlib's description of the first one, with the request that failed.
bool takeXError(std::string& text);
