#include "LivePace.h"

#include <algorithm>
#include <cmath>
#include <limits>

RiseClock::RiseClock(const LivePace& pace, int planes, double now)
    : asked(pace.seconds), planes(std::max(planes, 0)), waiting(pace.waitsForWindow), start(now),
      spread(pace.seconds.value_or(0.0))
{
}

void RiseClock::release(double now, bool shown)
{
    if (!waiting)
        return;
    waiting = false;
    start = now;
    spread = asked ? *asked : shown ? DEFAULT_RISE_SECONDS : 0.0;
}

int RiseClock::due(double now) const
{
    if (waiting)
        return 0;
    if (!(spread > 0.0))
        return planes;
    const double share = std::floor((now - start) / spread * planes);
    return static_cast<int>(std::clamp(share, 0.0, double(planes)));
}

double RiseClock::dueAt(int next) const
{
    if (waiting)
        return std::numeric_limits<double>::infinity();
    if (!(spread > 0.0))
        return -std::numeric_limits<double>::infinity();
    return start + spread * (double(next) + 1) / planes;
}

double RiseClock::applyAt(int next, int batch, double notBefore) const
{
    const int last = std::min(next + std::max(batch, 1), planes) - 1;
    return std::min(dueAt(last), std::max(dueAt(next), notBefore));
}
