#pragma once
#include "serial/portaccess.h"
#include "serial/serialdriver.h"

#include <atomic>

// termios + poll() serial layer. The receive thread's wait polls the device
// and an eventfd together, so Wake from another thread ends the wait at once
// (closing the device from another thread would not).
class PosixSerialDriver : public SerialDriver
{
public:
    PosixSerialDriver();
    ~PosixSerialDriver() override;

    int Reset(const QString &devicePath, int rxQueueSize, int txQueueSize) override;
    int Parms(int parity, int stopBits, int dataBits) override;
    int Baud(int baudCode) override;
    int Control(char letter) override;
    int PutByte(unsigned char byte) override;
    int GetByte() override;
    int WaitEvent(int mask) override;
    void Wake() override;
    int Close() override;

    bool IsOpen() const override { return fd >= 0; }
    bool Lost() const override { return lost.load(); }
    QString ErrorText() const override { return errorText; }

private:
    enum class OpenOutcome { Opened, Busy, Failed };
    OpenOutcome OpenOnce(const QString &realPath);
    int Fail(const QString &text);
    bool Refill();

    int fd = -1;
    int wakeFd = -1;
    std::atomic<bool> lost{false};
    QString errorText;
    DeviceLockFile lockFile;
    // Bytes read but not yet handed out; touched by the receive thread only.
    unsigned char readBuffer[512] = {};
    int readCount = 0;
    int readPos = 0;
};
