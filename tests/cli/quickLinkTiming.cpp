// Linked into the test build of the command-line program only: its links
// take the short waits from the start, as the in-process tests' links do.
#include "tests/support/linkTimingSwitch.h"

namespace
{
const bool switchedAtStart = (UseShortLinkTiming(), true);
} // namespace
