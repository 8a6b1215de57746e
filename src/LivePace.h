#pragma once

#include <optional>

// How fast a live rise goes, and from when. A rise a window shows is held
// until the window's first frame, so that every plane rises in view, and
// then spread over the seconds asked (--live-seconds) or, when none were
// asked, over DEFAULT_RISE_SECONDS. A rise no window shows runs at once, at
// the pace asked or as fast as the machine goes. Times are seconds on one
// clock of the caller's, so the decision is the same under test without
// waiting. No threads here: the live thread alone owns a RiseClock.

// The whole rise a window shows when no pace is asked, in seconds: long
// enough to watch continents rise (5 % of the planes every half second),
// short enough not to keep the user waiting, and within what the machine
// reaches up to 8 subdivisions at 5000 planes (docs/performance.md).
constexpr double DEFAULT_RISE_SECONDS = 10.0;

// The process's choice for every live rise.
struct LivePace {
    // --live-seconds: the whole rise over this many seconds, 0 for as fast as
    // the machine goes; nothing: DEFAULT_RISE_SECONDS in a window, else as
    // fast as it goes.
    std::optional<double> seconds;
    bool waitsForWindow = false; // a window will show the rise: held until its first frame
};

// The pace of one rise of `planes` planes.
class RiseClock {
public:
    RiseClock(const LivePace& pace, int planes, double now);

    bool held() const { return waiting; }

    // Ends the hold at now: the window showed its first frame (shown), or no
    // window will (then a pace not asked is as fast as the machine goes).
    // Once only; later calls change nothing.
    void release(double now, bool shown);

    // Planes due by now, 0 to planes: none while held, all at full speed;
    // plane i (from 0) falls due when i + 1 of the planes' shares of the
    // seconds have passed.
    int due(double now) const;

    // When plane `next` falls due (see due): at once at full speed.
    double dueAt(int next) const;

    // When to apply the planes from `next` on: once `batch` of them (1 or
    // more) are due, or once `next` is due and notBefore has passed; at once
    // at full speed. A paced rise thus takes its planes a batch or a frame's
    // worth at a time, not one pass over the land a plane.
    double applyAt(int next, int batch, double notBefore) const;

    // The seconds the whole rise is spread over once released; 0: full speed.
    double seconds() const { return spread; }

private:
    std::optional<double> asked;
    int planes;
    bool waiting;
    double start = 0.0;
    double spread = 0.0;
};
