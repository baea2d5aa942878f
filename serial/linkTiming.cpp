#include "serial/linkTiming.h"

namespace
{
LinkWaits current;
} // namespace

LinkWaits ShortLinkTiming()
{
    LinkWaits timing;
    timing.flushMs = 5;
    timing.echoSenseMs = 3;
    timing.perBaudDelays = false;
    timing.multiLineQuietMs = 60;
    return timing;
}

void SetLinkTiming(const LinkWaits &timing)
{
    current = timing;
}

LinkWaits CurrentLinkTiming()
{
    return current;
}
