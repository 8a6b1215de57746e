#pragma once

#include "LivePace.h"
#include "ThreadGroup.h"

#include <atomic>
#include <memory>

// A live generation: one background thread deforms the land plane by plane
// while the window draws it (Landscape.h starts it).

class Planet;
class LiveRise;

// What ended the hold of a rise that waits for its window (LivePace.h).
enum class RiseRelease { Held, Shown, Unwatched };

// The live generation thread's argument and its handle.
struct LiveJob {
    LiveJob();
    ~LiveJob();
    Planet* planet = nullptr;
    int iterations = 0;
    LivePace pace;                     // how fast, and whether it waits for the window's first frame
    std::atomic<RiseRelease> release{RiseRelease::Held}; // set once by the window or a waiter, then notified
    std::unique_ptr<LiveRise> rise;    // the land the thread works on, shown after whole planes
    std::atomic<bool> stop{false};     // set to end the generation early
    std::atomic<bool> finished{false}; // set when the thread is about to end
    std::atomic<int> applied{0};       // planes wholly applied; written by the live thread only
    ThreadGroup thread;                // the live thread, a group of one
};

// Body of the live thread: held while the rise waits for its window, then
// scales its copy of the welded land plane by plane, and shows the planes
// done about every frame (or as each comes due at the pace), always whole
// planes; the land as it ends goes to every corner of the soup before
// `finished` is set.
void generateLive(LiveJob* job);

// The window has shown the planet in a frame: a live rise held for it
// starts now. Any thread; cheap enough for every frame.
void showLiveGeneration(Planet& planet);

// Tells a running live generation to stop and waits for its thread to end.
void stopLiveGeneration(Planet& planet);

// Waits for a running live generation to apply all its planes; one still
// held for a window that has shown no frame runs at once, at full speed
// unless a pace was asked.
void finishLiveGeneration(Planet& planet);
