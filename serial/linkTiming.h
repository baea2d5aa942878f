#pragma once

// The link's own waits, apart from the response timeout and character delay
// that the user's settings give. The program always uses the defaults. Tests
// that measure nothing about timing switch to the short set: a simulated
// sensor on a pseudo-terminal answers at once, so the waits only cost time.
struct LinkWaits {
    int flushMs = 100;         // how long an exchange first listens for stale lines
    int echoSenseMs = 20;      // how soon a first byte back means the sensor echoes
    bool perBaudDelays = true; // add the per-baud character delay and response time
    // 0: a multi-line reply is collected for the whole response time. More:
    // the reply ends once its lines have stopped for this long.
    int multiLineQuietMs = 0;
};

LinkWaits ShortLinkTiming();

// The set a link takes when it is made. UI thread, before any link exists.
void SetLinkTiming(const LinkWaits &timing);
LinkWaits CurrentLinkTiming();
