#pragma once
#include <sys/resource.h>

// Lowers this process's file size limit while the object lives, so a write
// past it fails part-way as on a full disk. SIGXFSZ is ignored meanwhile:
// the write returns an error instead of ending the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // False when the limit could not be read or lowered.
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_read = false;
    bool m_ok = false;
};
