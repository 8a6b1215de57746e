#pragma once

// The stage of --render: lets a live generation run to its end, saves what
// the options ask for, draws the current planet off screen as a smooth
// picture of --render's size from --look-at's view (OffscreenContext, no
// window, no display), saves it and releases the planet. As the window, it
// first tries the driver's room (MemoryReserve.h); a picture that could not
// be drawn whole is not saved, with the reason, and fails the run. Returns
// true: the cycle goes on whether or not the picture could be drawn.
bool runPoster();
