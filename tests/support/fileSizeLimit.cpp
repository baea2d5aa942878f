#include "tests/support/fileSizeLimit.h"

#include <csignal>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    m_read = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
    rlimit lowered = m_saved;
    lowered.rlim_cur = bytes;
    m_ok = m_read && setrlimit(RLIMIT_FSIZE, &lowered) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_read)
        setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_previousHandler);
}
