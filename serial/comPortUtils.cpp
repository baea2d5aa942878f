#include "serial/comPortUtils.h"

#include "base/appdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <algorithm>

namespace
{
// Fixed COM numbers by device family; see serial/PORTS.md. ttyS counts from
// COM1 as on a PC, the others from a range of their own so that plugging in
// one kind of adapter never renumbers another.
struct Family {
    const char *prefix;
    int firstCom;
    int count;
    const char *description;
};
constexpr Family families[] = {
    {"ttyS", 1, 99, "Communications Port"},        {"ttyUSB", 100, 100, "USB Serial Port"},
    {"ttyACM", 200, 100, "USB Serial Device"},     {"ttyAMA", 300, 100, "Serial Port"},
    {"rfcomm", 400, 100, "Bluetooth Serial Port"},
};

const Family *familyOf(const QString &deviceName, int *index)
{
    static const QRegularExpression shape(QStringLiteral("^([A-Za-z]+)(\\d{1,3})$"));
    const QRegularExpressionMatch match = shape.match(deviceName);
    if (!match.hasMatch())
        return nullptr;
    for (const Family &family : families) {
        if (match.captured(1) == QLatin1String(family.prefix)) {
            *index = match.captured(2).toInt();
            return *index < family.count ? &family : nullptr;
        }
    }
    return nullptr;
}

// Empty until the data folder is known: never a folder relative to the
// working directory.
QString aliasFolder()
{
    const QString data = GetAppDataFolder();
    return data.isEmpty() ? QString() : data + QStringLiteral("ports/");
}

int aliasNumber(const QString &fileName)
{
    static const QRegularExpression shape(QStringLiteral("^COM([1-9]\\d{0,3})$"));
    const QRegularExpressionMatch match = shape.match(fileName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString canonicalDevice(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString familyDescription(const QString &devicePath)
{
    int index = 0;
    const Family *family = familyOf(QFileInfo(devicePath).fileName(), &index);
    return family != nullptr ? QString::fromLatin1(family->description) : QStringLiteral("Serial Port");
}

bool isBluetoothDevice(const QString &devicePath)
{
    return QFileInfo(devicePath).fileName().startsWith(QLatin1String("rfcomm"));
}

QList<ComPortDevice> aliasPorts(QSet<QString> &aliasTargets, const QHash<QString, QString> &descriptions)
{
    QList<ComPortDevice> ports;
    if (aliasFolder().isEmpty())
        return ports;
    const QDir folder(aliasFolder());
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const int number = aliasNumber(entry.fileName());
        const QString target = canonicalDevice(entry.filePath());
        if (number == 0 || target.isEmpty())
            continue; // not an alias, or its device is not present
        aliasTargets.insert(target);
        const QString description = descriptions.value(target, familyDescription(target));
        ports.append({ComFriendlyName(description, target, number), entry.filePath(), number});
    }
    return ports;
}
} // namespace

void FilterComPorts(const QStringList &friendlyNames, QStringList &names)
{
    names.clear();
    for (const QString &friendly : friendlyNames) {
        const qsizetype open = friendly.lastIndexOf(QLatin1Char('('));
        const qsizetype close = friendly.lastIndexOf(QLatin1Char(')'));
        const QString port = (open >= 0 && close > open) ? friendly.mid(open + 1, close - open - 1) : QString();
        if (!port.startsWith(QLatin1String("COM")))
            continue;
        const QString lower = friendly.toLower();
        if (lower.contains(QLatin1String("bluetooth")) || lower.contains(QLatin1String("bthenum")))
            continue;
        names.append(port);
    }
}

QString ComAliasFolder()
{
    return aliasFolder();
}

QString ComPortDevicePath(int comNumber)
{
    if (comNumber <= 0)
        return {};
    if (!aliasFolder().isEmpty()) {
        const QString alias = aliasFolder() + QStringLiteral("COM") + QString::number(comNumber);
        const QFileInfo aliasInfo(alias);
        if (aliasInfo.isSymLink() || aliasInfo.exists())
            return alias;
    }
    for (const Family &family : families) {
        if (comNumber >= family.firstCom && comNumber < family.firstCom + family.count)
            return QStringLiteral("/dev/") + QLatin1String(family.prefix) +
                   QString::number(comNumber - family.firstCom);
    }
    return {};
}

QString ComNameDevicePath(const QString &comName)
{
    const int number = aliasNumber(comName.trimmed().toUpper());
    return number > 0 ? ComPortDevicePath(number) : QString();
}

int ComNumberForDevice(const QString &devicePath)
{
    int index = 0;
    const Family *family = familyOf(QFileInfo(devicePath).fileName(), &index);
    return family != nullptr ? family->firstCom + index : 0;
}

QString ComFriendlyName(const QString &description, const QString &devicePath, int comNumber)
{
    QString text = description.trimmed().isEmpty() ? familyDescription(devicePath) : description.trimmed();
    // rfcomm ports are Bluetooth links whatever their description says.
    if (isBluetoothDevice(devicePath) && !text.contains(QLatin1String("bluetooth"), Qt::CaseInsensitive))
        text = QStringLiteral("Bluetooth ") + text;
    return QStringLiteral("%1 %2 (COM%3)").arg(text, devicePath).arg(comNumber);
}

QList<ComPortDevice> SystemComPorts()
{
    QHash<QString, QString> descriptions;
    QList<ComPortDevice> system;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        descriptions.insert(canonicalDevice(path), info.description());
        system.append({QString(), path, ComNumberForDevice(path)});
    }
    QSet<QString> aliasTargets;
    QList<ComPortDevice> ports = aliasPorts(aliasTargets, descriptions);
    std::sort(ports.begin(), ports.end(), [](const auto &a, const auto &b) { return a.comNumber < b.comNumber; });
    QSet<int> taken;
    for (const ComPortDevice &port : ports)
        taken.insert(port.comNumber);

    std::sort(system.begin(), system.end(), [](const auto &a, const auto &b) { return a.comNumber < b.comNumber; });
    for (ComPortDevice &device : system) {
        // Unknown families get no number; an alias of the same number shadows the rule.
        if (device.comNumber == 0 || taken.contains(device.comNumber) ||
            aliasTargets.contains(canonicalDevice(device.devicePath)))
            continue;
        device.friendlyName = ComFriendlyName(descriptions.value(canonicalDevice(device.devicePath)), device.devicePath,
                                              device.comNumber);
        ports.append(device);
    }
    return ports;
}

TfrmComPortUtils::TfrmComPortUtils(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("frmComPortUtils"));
    Timer1.setSingleShot(true);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &TfrmComPortUtils::Timer1Timer);
}

TfrmComPortUtils::~TfrmComPortUtils()
{
    CloseLog();
}

void TfrmComPortUtils::SetPortSource(ComPortSource source)
{
    portSource = std::move(source);
}

int TfrmComPortUtils::ListComPorts(QStringList &list)
{
    list.clear();
    std::optional<QStringList> friendlyNames;
    if (portSource) {
        friendlyNames = portSource();
    } else if (QDir(QStringLiteral("/dev")).isReadable()) {
        friendlyNames.emplace();
        for (const ComPortDevice &port : SystemComPorts())
            friendlyNames->append(port.friendlyName);
    }
    if (!friendlyNames)
        return ERR_PORT_ENUMERATION;
    FilterComPorts(*friendlyNames, list);
    return 0;
}

void TfrmComPortUtils::StartTimer(int milliseconds)
{
    Timer1.stop();
    QCoreApplication::processEvents();
    Timer1.setInterval(std::max(0, milliseconds));
    expired = false;
    Timer1.start();
    QCoreApplication::processEvents();
}

void TfrmComPortUtils::Timer1Timer()
{
    Timer1.stop();
    expired = true;
}

bool TfrmComPortUtils::TimerExpired()
{
    QCoreApplication::processEvents();
    return expired;
}

void TfrmComPortUtils::Sleep(int milliseconds)
{
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TfrmComPortUtils::WaitResponsive(int milliseconds)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (milliseconds <= 0 || app == nullptr || QThread::currentThread() != app->thread()) {
        Sleep(milliseconds);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QString TfrmComPortUtils::LogFilePath(int portIndex)
{
    return GetAppDataFolder() + QStringLiteral("comm") + QString::number(portIndex + 1) + QStringLiteral(".dbg");
}

bool TfrmComPortUtils::OpenLog(int portIndex)
{
    std::lock_guard lock(logLock);
    if (logFile.isOpen())
        logFile.close(); // opened twice: keep one handle
    logFile.setFileName(LogFilePath(portIndex));
    logOpen = logFile.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!logOpen)
        return false;
    WriteEntry(QStringLiteral("\n --- Start of Debug Session --- \n"));
    return true;
}

void TfrmComPortUtils::LogLine(const QString &text)
{
    std::lock_guard lock(logLock);
    if (logOpen)
        WriteEntry(text);
}

void TfrmComPortUtils::CloseLog()
{
    std::lock_guard lock(logLock);
    if (!logOpen)
        return;
    WriteEntry(QStringLiteral("\n --- End of Debug Session --- \n"));
    logFile.close();
    logOpen = false;
}

bool TfrmComPortUtils::LogOpen() const
{
    std::lock_guard lock(logLock);
    return logOpen;
}

void TfrmComPortUtils::WriteEntry(const QString &text)
{
    // Latin-1 writes every received byte back as it came off the line.
    const QString entry =
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss:zzz")) + QLatin1Char(' ') + text + QLatin1Char('\n');
    logFile.write(entry.toLatin1());
    logFile.flush();
}
