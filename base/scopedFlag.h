#pragma once

// Sets a flag for as long as it lives and puts back what it was, on every
// way out of the scope: re-entry guards cannot be left set by an early return.
class ScopedFlag
{
public:
    explicit ScopedFlag(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = m_old; }
    ScopedFlag(const ScopedFlag &) = delete;
    ScopedFlag &operator=(const ScopedFlag &) = delete;

private:
    bool &m_flag;
    bool m_old;
};
