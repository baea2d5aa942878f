#pragma once
#include <atomic>
#include <memory>

// Asks a long device operation to stop at its next safe point. The caller
// holds it (and may hand it to whatever shows the Abort button); the
// operation only reads it.
class CancelToken
{
public:
    void Cancel() { m_cancelled = true; }
    void Reset() { m_cancelled = false; }
    bool IsCancelled() const { return m_cancelled; }

private:
    std::atomic<bool> m_cancelled = false;
};

using CancelTokenPtr = std::shared_ptr<CancelToken>;
