#pragma once
// Reads every setting of the connected device into a document: one read
// command per param through the command session, each reply interpreted by
// the param's type. GUI thread (the session's thread) only.
#include "engine/cancelToken.h"
#include "engine/document.h"

#include <QObject>
#include <QStringList>

class TfrmInterface;

struct ReadReport {
    enum class Stop {
        None,             // every category was read (params may still have failed)
        SetupModeRefused, // the device did not enter setup mode: nothing was read
        Aborted,          // the cancel token was set
        Unreadable,       // a reply could not be made sense of, or the device went away
    };
    Stop stop = Stop::None;
    QString stopReason;      // why the read stopped (Unreadable), for the log
    QStringList failedCmds;  // the params whose read failed, in order
    bool deviceGone = false; // the device stopped answering or hung up
    // The device was sent back to measuring (the read stopped early); after
    // a read that ran to the end it is still in setup mode.
    bool leftInMeasuringMode = false;

    bool Complete() const { return stop == Stop::None && failedCmds.isEmpty(); }
    bool Aborted() const { return stop == Stop::Aborted; }
};

class DeviceReader : public QObject
{
    Q_OBJECT

public:
    // Both must outlive the reader; the document's values are overwritten.
    DeviceReader(TfrmInterface *session, const Document &document, QObject *parent = nullptr);

    // Checked between categories: a category under way is finished.
    void SetCancelToken(CancelTokenPtr token) { m_cancel = std::move(token); }

    // Puts the device in setup mode; false (and it is sent back to measuring)
    // when it would not go.
    bool EnterSetupMode();
    // Reads every param (the device must be in setup mode).
    ReadReport ReadAll();
    // Both in turn.
    ReadReport Read();

    // Sends the device back to measuring.
    void LeaveSetupMode();

signals:
    // Before each param's read: done params so far (counting this one) of total.
    void progress(int done, int total);

private:
    int ReadCategories();
    bool ReadCategory(const IXMLcategoryType &category);
    int ReadParam(const IXMLcategoryType &category, IXMLparamType param);
    int CheckAnswered(int code, const QString &cmd);
    int ExchangeSingle(const QString &cmd, QString &reply);
    int ExchangeDelayed(const QString &cmd, QString &reply);
    int ReadSingleValue(const IXMLparamType &param, QString &value);
    int ReadInt(IXMLparamType param, bool delayed);
    int ReadSelect(IXMLparamType param, bool delayed);
    int ReadSensorUnits(IXMLparamType param);
    int ReadReportList(IXMLparamType param, bool xdr);
    int ReadSensType(IXMLparamType param);
    int ReadCfgUnits(const IXMLcategoryType &category, IXMLparamType param);
    int ReadAnipType(IXMLparamType param);
    int ReadText(IXMLparamType param);
    int ReadTime(IXMLparamType param);
    int ReadString(IXMLparamType param);
    int ReadMaskedFloat(IXMLparamType param);
    int LookupUnits(const QString &measurement, const QString &symbol, IXMLparamType param);
    void ApplySubstNamesToReport();
    int Stop(ReadReport::Stop stop);

    TfrmInterface *m_session = nullptr;
    Document m_document;
    CancelTokenPtr m_cancel;
    ReadReport m_report;
    int m_done = 0;
    int m_total = 0;
    QStringList m_substNames;
    QStringList m_sensorNames;
    QStringList m_unanswered; // commands that got no answer in time
};
