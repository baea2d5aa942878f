#pragma once
// TFormConfig: the configuration engine. It holds the units document and the
// template document (the whole parameter model: every setting lives in its
// param element), the device's identity, and the session it talks through.
// It is a widget that is never shown: the editor pages it builds belong to
// it and sit on the main window's page control, and a close while a device
// exchange is in progress is refused.
//
// Everything runs on the GUI thread. Result codes: config/configresult.h.
#include "config/confighost.h"
#include "config/configresult.h"
#include "engine/document.h"
#include "engine/replies.h"
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"
#include "workflows/sensorWork.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

class TfrmInterface;
class TfrmGuiSettings;
class TfrmProgressDlg;
class TfrmSessionReport;
class TfrmSummary;
class TCommitWatcher;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

// The controls of one param's row (unset where the param has none).
struct ParamControls {
    QLabel *caption = nullptr;
    QLineEdit *edit = nullptr;
    QComboBox *combo = nullptr;
    QLabel *image = nullptr;
    QCheckBox *check = nullptr;
    // Time params: the text the edit showed when the page was built. The
    // device's clock runs on, so that text is sent back only when changed.
    QString builtText;
};

// The controls and texts one sensor input's params share (by groupindex).
struct cfgInputTabPageType {
    QComboBox *sensorTypeCombo = nullptr;
    QComboBox *sensorUnitsCombo = nullptr;
    QComboBox *inputTypeCombo = nullptr;
    QString customUnits;
    QString inputName;
    QLineEdit *substNameEdit = nullptr;
    QLineEdit *highEdit = nullptr;
    QLineEdit *lowEdit = nullptr;
    QLabel *highLabel = nullptr;
    QLabel *lowLabel = nullptr;
    QLineEdit *digitCountEdit = nullptr;
};

// The report editor: made by the "reportstr" param, the XDR part by the
// "reportxdr" param; one set per document shown. The slot counts are the
// sizes of the slot lists.
struct ReportWidgets {
    QComboBox *formatCombo = nullptr;
    QWidget *panel = nullptr;
    QLineEdit *reportEdit = nullptr;
    QGroupBox *paramGroup = nullptr;
    QGroupBox *sentenceGroup = nullptr;
    QLineEdit *xdrEdit = nullptr;
    QGroupBox *xdrGroup = nullptr;
    QList<QComboBox *> paramSlots;
    QList<QComboBox *> sentenceSlots;
    QList<QComboBox *> xdrSlots;
};

// Colours of the difference view.
QColor EqualColour();      // white
QColor DifferentColour();  // yellow
QColor CriticalColour();   // red
QColor ReportEditColour(); // the report edits' colour when equal

class TFormConfig : public QWidget
{
    Q_OBJECT

public:
    // host is the main window (not owned; may be null, then there are no
    // panels and the program folder is the executable's).
    explicit TFormConfig(IConfigHost *host, QWidget *parent = nullptr);
    ~TFormConfig() override;

    // Loads the units document and, online, chooses and loads the template
    // for the identity reply ("OFFLINE" offline). 0, or 26 after a message.
    int InitialiseDevice(bool online, const QString &identityReply);
    // Shows a sensor the workflows brought online: its identity in the
    // panels and the pages of its document (template already chosen).
    void ShowDevice(const Document &document, const QString &templatePath);
    // The units document from the program folder: 0, or 26 (missing or
    // unreadable; LastLoadError() says why when it exists but won't load).
    int LoadUnits();
    // Chooses the template from the identity and loads it: 0; 26 when it is
    // missing, does not parse or exceeds the editor's tables; 27 when the
    // device is not recognised. The editor pages are built separately.
    int SelectTemplate();
    // Parses the identity reply, shows the identity, and gives the full path
    // of the template of the matching catalogue row; false (after its
    // message) when there is none.
    bool GetProductTemplateFileName(QString &path);
    // Sets the identity (also used by the offline product menu, with an
    // empty option text) and shows it in the protocol and identity panels.
    void SetIdentity(const QString &productName, int protocolVersion, const QString &optionText, int axisConfig,
                     int heating);
    // "HEATED", " UVW", "HEATED UVW" or empty.
    QString GetIdentitySuffix() const;

    // --- Editor pages (pageBuilder.cpp) ---
    // Loads the document from fileName into a fresh document and, when it
    // parses, has a device and fits the tables, makes it the current one and
    // builds every page from it (pruned by the option bits online). A file
    // that cannot be used leaves the pages and the document as they were,
    // after a message naming the file. False also when a param failed to
    // build (its category stops there).
    bool BuildConfigPages(const QString &fileName);
    // Builds (or, for features the device lacks, removes) param p of
    // category c; true on success and on removal.
    bool CreateParamComponent(int c, int p);
    // The texts of the param's option items in document order.
    static QStringList FillOptionList(IXMLparamType param);

    // --- Report editor (reportWidgets.cpp) ---
    // text without the report words the device does not support.
    QString FilterReportString(const QString &text) const;
    // Refills the report (and XDR) string from the slots per the format.
    void RebuildReportString();
    // True for "NMEA" and the sentence names (older sensors' "MWV" too).
    static bool IsNmeaSentenceName(const QString &text);
    // The forms a report list takes. Sentences only: all the sensor offers
    // (or "NMEA" alone) is the NMEA format, fewer or in another order the
    // user-defined sentence format; parameters with sentences are kept as
    // the sensor lists them.
    using ReportForm = ::ReportForm;
    // offered: the report's sentences in the sensor's order (each counts as
    // a sentence, as do the names IsNmeaSentenceName knows).
    static ReportForm ClassifyReport(const QStringList &fields, const QStringList &offered);
    // The sentences the report param offers, in its order, without "NMEA".
    static QStringList OfferedSentences(IXMLparamType param);

    // --- Entry checks (validation.cpp) ---
    // Checks every entry (one box per invalid entry, then the duplicate
    // substitute names); false when any failed or nothing is loaded.
    bool ValidateEntries();
    // The digit-count rule: value read from text within low..high with the
    // decimals the protocol allows.
    bool GetDigCountFromString(const QString &text, double low, double high, double &value) const;

    // --- Files and differences (configFiles.cpp, differences.cpp) ---
    // Validates, writes the controls' values into the document and the
    // document to fileName whole or not at all; false (file untouched) when
    // the entries are invalid or the file could not be written.
    bool SaveConfigFile(const QString &fileName);
    // Why the last SaveConfigFile could not write its file (the path and the
    // system's reason); empty after a save that succeeded or was refused for
    // its entries.
    QString LastSaveError() const { return m_lastSaveError; }
    QString GetFileProductName(const QString &fileName) const;
    int GetFileProtocolVersion(const QString &fileName) const;
    int GetFileHeating(const QString &fileName) const;    // 0 when unreadable
    int GetFileAxisConfig(const QString &fileName) const; // 3 UVW, else 2
    // Colours every control against the retrieved configuration and lists
    // the cmd of each differing param in WorkList; true when any differs.
    bool ShowDifferences();
    // Asks about (or refuses) a configuration file made for another device;
    // false when it must not be loaded.
    bool CheckFileCompatibility(const QString &fileName);

    // --- Device reads (deviceRead.cpp) ---
    // Reads every setting from the device into the document, saves the
    // retrieved configuration, rebuilds the pages from it and fills the
    // summary. True when every param was read. On an abort or an error that
    // stops the read, the device is taken out of setup mode first.
    bool GetDeviceSettings();
    // The read's boxes when it stopped; else FinishRead. True when complete.
    bool ShowRead(const ReadReport &report);
    // Cuts a "NAME = value" reply down to the value; false (reply unchanged)
    // when it has no "=".
    static bool ParseResponse(QString &reply);
    // The device's report list in the editor's words, space-separated; ok is
    // false when the list cannot be converted (an axis or polar word without
    // its partner). A list of sentences only becomes "NMEA" when it is all of
    // sentences (the ones the report offers, in order; empty: the protocol's
    // usual set), else "NMEA" and the sentences; a list that mixes parameters
    // and sentences stays as the device lists it.
    QString NormaliseReportList(const QString &value, bool *ok = nullptr, const QStringList &sentences = {}) const;
    static QString NormaliseXdrList(const QString &value);
    // Each word of text equal to a substitute name becomes the sensor name
    // at the same position (swap the lists for the other direction).
    static QString ReplaceSubstNames(const QString &text, const QStringList &substNames,
                                     const QStringList &sensorNames);
    // The measurement the category's sensor type names; false when the type
    // is not configured, or (with error set) when the category has no sensor
    // type param or its choice is out of range.
    bool GetMeasurementFromSenstype(const IXMLcategoryType &category, QString &name, QString *error = nullptr) const;
    // The cmd of every param whose last read failed.
    QStringList FailedReads() const { return m_failedReads; }

    // --- Device writes (deviceWrite.cpp) ---
    // Checks the entries, saves the shown configuration as the uploaded one
    // and sends one setup command per param. True when every command was
    // answered; on any failure the device is left out of setup mode.
    bool WriteSettingsToDevice();
    // Reads everything back and compares it with what was written; true only
    // when the read succeeded and nothing differs (WorkList names the rest).
    bool VerifySettings();
    // The setup commands for what the pages show, in document order; sync is
    // the state of the last "Sync time to PC" box met.
    QStringList BuildCommandList(bool &sync);
    // What the pages show, stored into the document, and the choices the
    // commands are built with (report format, sync box, times as shown).
    CommandOptions ShownCommandOptions();
    // The progress dialog of reads and writes (made on first use).
    TfrmProgressDlg *ProgressDialog();

    // What the pages hold (unset entries for absent pages and controls).
    QWidget *TabSheet(int c) const;
    const ParamControls &Controls(int c, int p) const;
    const cfgInputTabPageType &InputPage(int index) const;
    const ReportWidgets &Report() const { return m_report; }

    // The session the reads and writes go through: the window's sensor work
    // (not owned), or a bare session the engine works through itself.
    void SetWork(SensorWork *work);
    void SetSession(TfrmInterface *session);
    TfrmInterface *Session() const { return m_session; }
    SensorWork *Work() const { return m_work; }

    bool HasOption(unsigned mask) const { return (m_optionBits & mask) != 0; }
    void SetBusy() { m_busy = true; }
    void ClearBusy() { m_busy = false; }
    bool IsBusy() const { return m_busy; }

    QString ProductName() const { return m_productName; }
    QString DisplayName() const { return m_displayName; }
    int ProtocolVersion() const { return m_protocolVersion; }
    int Heating() const { return m_heating; }
    int AxisConfig() const { return m_axisConfig; }
    unsigned OptionBits() const { return m_optionBits; }
    QString OptionText() const { return m_optionText; }
    QString SoftwareVersion() const { return m_softwareVersion; }
    QString SoftwareVersionExtra() const { return m_softwareVersionExtra; }
    QString IdentityReply() const { return m_identityReply; }
    bool Online() const { return m_online; }
    QString AppDir() const { return m_appDir; }
    QString RetrievedConfigPath() const { return m_retrievedConfigPath; }
    QString UploadedConfigPath() const { return m_uploadedConfigPath; }
    // The template chosen by SelectTemplate (full path), empty before.
    QString TemplatePath() const { return m_templatePath; }
    // Why the last units or template file that exists could not be used.
    QString LastLoadError() const { return m_lastLoadError; }

    // The device as the engine knows it, and the document with it.
    DeviceIdentity Identity() const;
    Document CurrentDocument() const;

    IXMLsensorunitsType UnitsDoc() const { return m_unitsDoc; }
    int MeasurementCount() const { return m_measurementCount; }
    IXMLproductsType ProductsDoc() const { return m_productsDoc; }
    IXMLdeviceType Device() const { return m_device; }
    int CategoryCount() const { return m_categoryCount; }
    QStringList &WorkList() { return m_workList; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class ParamBuild { Built, Removed, Failed };

    // pageBuilder.cpp
    // Loads a configuration or template file and checks it fits the tables; a
    // null document after a message naming the file when it does not.
    IXMLproductsType LoadConfigDocument(const QString &fileName) const;
    bool BuildFromDocument(const IXMLproductsType &products, const QString &fileName);
    void DestroyPages();
    bool RemovesCategory(const QString &name) const;
    bool RemovesParam(const QString &name) const;
    void PruneReportOptions(IXMLparamType param) const;
    bool BuildCategory(int c, const QString &fileName);
    bool BuildParams(int c, const QString &caption, const QString &fileName);
    ParamBuild BuildParam(int c, int p);
    void AddCommonControls(int c, int p, IXMLparamType param);
    bool BuildTypedControls(int c, int p, IXMLparamType param);
    bool BuildInputParam(int c, int p, IXMLparamType param);
    bool EditorOffline() const;
    cfgInputTabPageType *InputRecord(int c);
    void BuildIntParam(int c, int p, IXMLparamType param);
    void BuildSelectParam(int c, int p, IXMLparamType param);
    void BuildSensorUnitsParam(int c, int p, IXMLparamType param);
    void BuildSensTypeParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input);
    void BuildCfgUnitsParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input);
    void BuildAnipTypeParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input);
    void BuildSubstNameParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input);
    void BuildDigCountParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input);
    void BuildMaskedFloatParam(int c, int p, IXMLparamType param);
    void BuildTextParam(int c, int p, IXMLparamType param, bool withSyncBox);
    QLineEdit *NewEdit(int c, int top, int left, const QString &mask, bool upper);
    QComboBox *NewCombo(int c, int top, bool editable);
    void FillUnitsCombo(QComboBox *combo, const QString &sensorType, int selected, const QString &customUnits);
    void ApplySubstituteNames();
    void OnEditCommitted();
    void OnSensorTypeChanged(int inputIndex);
    void OnSyncTimeClicked(bool checked);

    // reportWidgets.cpp
    void BuildReportWidgets(int c, int p, IXMLparamType param);
    void SelectReportFormat(ReportForm form);
    void AddReportSlots(IXMLparamType param, ReportForm form, const QStringList &fields);
    bool BuildXdrWidgets(IXMLparamType param);
    QComboBox *NewSlot(QWidget *box, int i, const QString &field, const QStringList &items);
    QWidget *NewSlotBox(QGroupBox *group, int slotCount);
    void ShowReportFormatWidgets();
    void OnReportFormatChanged();
    void OnReportSlotChanged();

    // validation.cpp
    bool ValidateParam(const IXMLcategoryType &category, int c, int p, QStringList &substNames);
    bool ValidateInputParam(IXMLparamType param, const cfgInputTabPageType &input, QStringList &substNames);
    bool CheckDuplicateSubstNames(const QStringList &names) const;
    void ReformatMaskedFloat(QLineEdit *edit, IXMLparamType param, double v) const;

    // configFiles.cpp, differences.cpp
    // Writes what every control shows into the document.
    void StoreAllValues();
    void StoreParamValues(const IXMLcategoryType &category, int c, int p);
    void StoreInputValues(IXMLparamType param, const cfgInputTabPageType &input);
    static bool IsInputType(const QString &type);
    bool CompareParam(const IXMLcategoryType &category, int c, int p);
    void CompareReport(QLineEdit *edit, const IXMLparamType &retrieved);
    void CompareInputParam(const IXMLparamType &retrieved, const cfgInputTabPageType &input);
    bool SameDigitCount(const QString &shownText, const IXMLparamType &retrieved) const;
    void MarkDifference(QWidget *control, bool differs, const IXMLparamType &retrieved);
    // Puts a protocol, heating or axis mismatch to the user; true to go on.
    bool AskToContinue(const CompatibilityIssue &issue) const;
    TfrmGuiSettings *GuiSettings() const;

    // deviceRead.cpp
    // The progress dialog follows the work's steps while it lives; its
    // Abort stops the work.
    class ProgressShown
    {
    public:
        explicit ProgressShown(TFormConfig *config);
        ~ProgressShown();
        ProgressShown(const ProgressShown &) = delete;
        ProgressShown &operator=(const ProgressShown &) = delete;

    private:
        TFormConfig *config;
        QList<QMetaObject::Connection> links;
    };
    bool WriteRetrievedConfig();
    bool FinishRead();
    void CloseProgress();
    TfrmSessionReport &SessionReport();
    TfrmSummary &Summary();

    // deviceWrite.cpp
    bool ShowWrite(const WriteResult &result);
    bool ShowVerifyRead(const VerifyReport &verify);
    void WarnOfUnknownUnits(const QList<UnknownUnits> &settings);

    void SetPanel(IConfigHost::Panel panel, const QString &text, const QColor &colour);
    void ForgetRetrievedConfig();
    void AdoptIdentity(const DeviceIdentity &id);
    void ShowIdentityPanels();
    QString FailureText(const QString &message) const;

    IConfigHost *m_host = nullptr;
    TfrmInterface *m_session = nullptr;
    SensorWork *m_work = nullptr;
    std::unique_ptr<SensorWork> m_ownWork; // for a bare session

    IXMLsensorunitsType m_unitsDoc;
    int m_measurementCount = 0;
    IXMLproductsType m_productsDoc;
    IXMLdeviceType m_device;
    int m_categoryCount = 0;

    // Guarded: the pages belong to the main window's page control, which may
    // go before the engine does.
    std::array<QPointer<QWidget>, TemplateLimits::Categories> m_tabSheets{};
    std::array<std::array<ParamControls, TemplateLimits::ParamsPerCategory>, TemplateLimits::Categories> m_controls{};
    std::array<cfgInputTabPageType, TemplateLimits::Inputs> m_inputPages{};
    ReportWidgets m_report;
    TCommitWatcher *m_commitWatcher = nullptr;
    QPixmap m_imageHelp;
    QPixmap m_imageWarning;
    // Set while pages are built or destroyed and while entries are checked,
    // so that focus and change events of the controls are not acted on.
    bool m_building = false;
    bool m_checking = false;
    bool m_diffFound = false;

    bool m_online = false;
    bool m_busy = false;
    QString m_identityReply;
    QString m_appDir;
    QString m_retrievedConfigPath;
    QString m_uploadedConfigPath;
    QString m_templatePath;
    QString m_lastLoadError;
    QString m_lastSaveError;
    QString m_productName;
    QString m_displayName;
    unsigned m_optionBits = 0;
    int m_protocolVersion = 0;
    QString m_softwareVersion;
    QString m_softwareVersionExtra;
    int m_heating = 0;
    int m_axisConfig = 0;
    QString m_optionText;
    QStringList m_workList;
    QStringList m_failedReads;
    QPointer<TfrmProgressDlg> m_progress;
    // Stand-ins while there is no main window (a report that is never opened
    // writes nothing).
    QPointer<TfrmSessionReport> m_ownReport;
    QPointer<TfrmSummary> m_ownSummary;
};
