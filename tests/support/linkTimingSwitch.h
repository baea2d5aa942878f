#pragma once
#include "serial/linkTiming.h"

#include <QtGlobal>

// Tests that check what the link and the workflows do, not how long they
// take, run the link on its short waits. TALVEK_TEST_REAL_TIMING=1 keeps the
// program's own waits, to run the same tests as a user's machine would.
inline void UseShortLinkTiming()
{
    if (qEnvironmentVariableIntValue("TALVEK_TEST_REAL_TIMING") == 0)
        SetLinkTiming(ShortLinkTiming());
}
