#pragma once
#include <QString>
#include <memory>

// The byte-level serial layer under the link: exactly the operations the link
// relies on, one object per port. Results follow one rule: a negative value
// is a failure, anything else success.
//
// Threads: the receive thread calls GetByte and WaitEvent; the UI thread calls
// everything else. Wake may be called from any thread. Reset and Close must not
// run while another thread is inside WaitEvent or GetByte.
class SerialDriver
{
public:
    // What WaitEvent saw (bits, may combine).
    static constexpr int EventRxChar = 0x0001;
    static constexpr int EventError = 0x0080; // line error or hang-up
    static constexpr int EventWake = 0x1000;

    static constexpr int NoData = -1; // GetByte: nothing waiting (or the device is gone)

    virtual ~SerialDriver() = default;

    // Opens the device for exclusive use and discards anything queued on it.
    // On failure ErrorText() says why (permissions, in use, missing device).
    virtual int Reset(const QString &devicePath, int rxQueueSize, int txQueueSize) = 0;
    // parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 2 two; dataBits 5..8.
    virtual int Parms(int parity, int stopBits, int dataBits) = 0;
    // baudCode 0..9: 110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200.
    virtual int Baud(int baudCode) = 0;
    // 'S' raises the modem control lines (DTR, RTS); ports without them accept it.
    virtual int Control(char letter) = 0;
    virtual int PutByte(unsigned char byte) = 0;
    // The next received byte (0..255) without blocking, or NoData.
    virtual int GetByte() = 0;
    // Blocks until a byte is waiting, a line error or hang-up occurs, or Wake
    // is called. After a hang-up it blocks until Wake: a lost device must not
    // keep the receive thread busy.
    virtual int WaitEvent(int mask) = 0;
    // Makes the current (or the next) WaitEvent return.
    virtual void Wake() = 0;
    virtual int Close() = 0;

    virtual bool IsOpen() const = 0;
    // True once the device has hung up or vanished (read gave end-of-file or EIO).
    virtual bool Lost() const = 0;
    // The reason of the last failed Reset, Parms or Baud, for the debug log.
    virtual QString ErrorText() const = 0;
};

std::unique_ptr<SerialDriver> CreateSerialDriver();

// How long Reset keeps retrying a device that another program holds (EBUSY or
// a live lock file); right after a plug-in ModemManager may probe a new port
// for several seconds. Default 3000 ms.
void SetBusyRetryTime(int milliseconds);
int BusyRetryTime();
