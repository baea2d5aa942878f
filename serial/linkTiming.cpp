#include "serial/linkTiming.h"

namespace
{
LinkTiming current;
} // namespace

LinkTiming ShortLinkTiming()
{
    LinkTiming timing;
    timing.flushMs = 5;
    timing.echoSenseMs = 3;
    timing.perBaudDelays = false;
    timing.multiLineQuietMs = 60;
    return timing;
}

void SetLinkTiming(const LinkTiming &timing)
{
    current = timing;
}

LinkTiming CurrentLinkTiming()
{
    return current;
}
