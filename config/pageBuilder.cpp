// Building the editor pages from the current document: one page per
// category, one row of controls per param, pruned by the device's options.
#include "base/log.h"
#include "base/translate.h"
#include "config/commitWatcher.h"
#include "config/config.h"
#include "config/configPage.h"
#include "config/editMask.h"
#include "engine/devicePruning.h"
#include "engine/numberScan.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace
{
const QString kUnused = QStringLiteral("UNUSED");
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");

// The translation, or the text itself when the translation is empty.
QString Caption(const QString &text)
{
    const QString translated = T(text);
    return translated.isEmpty() ? text : translated;
}

void ConnectIndexChange(QComboBox *combo, QObject *context, std::function<void()> action)
{
    QObject::connect(combo, &QComboBox::currentIndexChanged, context, [action = std::move(action)](int) { action(); });
}
} // namespace

bool TFormConfig::EditorOffline() const
{
    return m_host && m_host->IsOffline();
}

QWidget *TFormConfig::TabSheet(int c) const
{
    return c >= 0 && c < TemplateLimits::Categories ? m_tabSheets[c] : nullptr;
}

const ParamControls &TFormConfig::Controls(int c, int p) const
{
    static const ParamControls none;
    if (c < 0 || c >= TemplateLimits::Categories || p < 0 || p >= TemplateLimits::ParamsPerCategory)
        return none;
    return m_controls[c][p];
}

const cfgInputTabPageType &TFormConfig::InputPage(int index) const
{
    static const cfgInputTabPageType none;
    return index >= 0 && index < TemplateLimits::Inputs ? m_inputPages[index] : none;
}

QStringList TFormConfig::FillOptionList(IXMLparamType param)
{
    return param.Option().Texts();
}

IXMLproductsType TFormConfig::LoadConfigDocument(const QString &fileName) const
{
    const DocumentLoad load = ::LoadConfigDocument(fileName);
    if (load.error == DocumentLoadError::None)
        return load.products;
    Log(QStringLiteral("Could not load ") + fileName + QStringLiteral(": ") + load.reason);
    Dialogs().Message(T(QStringLiteral("Could not load the file ")) + fileName + QStringLiteral("\n\n") + load.reason,
                      T(QStringLiteral("ERROR")));
    return {};
}

bool TFormConfig::BuildConfigPages(const QString &fileName)
{
    Log(fileName);
    const IXMLproductsType products = LoadConfigDocument(fileName);
    // On failure the pages and the document shown so far stay as they were.
    return !products.IsNull() && BuildFromDocument(products, fileName);
}

bool TFormConfig::BuildFromDocument(const IXMLproductsType &products, const QString &fileName)
{
    m_building = true;
    DestroyPages();
    m_productsDoc = products;
    m_device = m_productsDoc.Device(0);
    m_categoryCount = m_device.Count();
    bool ok = true;
    for (int c = 0; c < m_categoryCount;) {
        if (RemovesCategory(m_device.Category(c).Name())) {
            m_device.Categories().Delete(c);
            --m_categoryCount;
            continue;
        }
        ok = BuildCategory(c, fileName) && ok;
        ++c;
    }
    ApplySubstituteNames();
    RebuildReportString();
    m_building = false;
    if (m_protocolVersion == m_device.Protocolversion())
        ShowDifferences();
    else
        Dialogs().Message(T(QStringLiteral("Due to file/device protocol mismatch, differences cannot be shown")),
                          T(QStringLiteral("WARNING")));
    return ok;
}

void TFormConfig::DestroyPages()
{
    for (QPointer<QWidget> &page : m_tabSheets) {
        delete page.data();
        page = nullptr;
    }
    for (auto &row : m_controls)
        row.fill(ParamControls{});
    for (cfgInputTabPageType &input : m_inputPages) {
        input = cfgInputTabPageType{};
        input.inputName = kUnused;
    }
    m_report = ReportWidgets{};
}

bool TFormConfig::RemovesCategory(const QString &name) const
{
    return ::RemovesCategory(name, Identity(), EditorOffline());
}

bool TFormConfig::RemovesParam(const QString &name) const
{
    return ::RemovesParam(name, Identity(), EditorOffline());
}

void TFormConfig::PruneReportOptions(IXMLparamType param) const
{
    ::PruneReportOptions(param, Identity(), EditorOffline());
}

bool TFormConfig::BuildCategory(int c, const QString &fileName)
{
    const IXMLcategoryType category = m_device.Category(c);
    auto *page = new TConfigPage;
    page->setObjectName(QStringLiteral("pts") + category.Name());
    const QString caption = Caption(category.Name());
    m_tabSheets[c] = page;
    // The controls are made before the page joins the page control: a widget
    // made on a page already on screen stays hidden, and the first page of an
    // empty page control is shown as soon as it is added.
    const bool built = BuildParams(c, caption, fileName);
    QTabWidget *tabs = m_host ? m_host->ConfigPageControl() : nullptr;
    if (tabs)
        tabs->addTab(page, caption);
    else
        page->setParent(this);
    return built;
}

bool TFormConfig::BuildParams(int c, const QString &caption, const QString &fileName)
{
    const IXMLcategoryType category = m_device.Category(c);
    for (int p = 0; p < category.Count();) {
        const ParamBuild result = BuildParam(c, p);
        if (result == ParamBuild::Removed)
            continue;
        if (result == ParamBuild::Failed) {
            Dialogs().Message(T(QStringLiteral("Cannot create component for ")) + caption,
                              T(QStringLiteral("Error in ")) + fileName);
            Log(QStringLiteral("CreateParamComponent error: ") + caption);
            return false;
        }
        ++p;
    }
    return true;
}

bool TFormConfig::CreateParamComponent(int c, int p)
{
    return BuildParam(c, p) != ParamBuild::Failed;
}

TFormConfig::ParamBuild TFormConfig::BuildParam(int c, int p)
{
    const IXMLcategoryType category = m_device.Category(c);
    IXMLparamType param = category.Param(p);
    if (param.IsNull() || c >= TemplateLimits::Categories || p >= TemplateLimits::ParamsPerCategory || !m_tabSheets[c])
        return ParamBuild::Failed;
    if (RemovesParam(param.Name())) {
        category.Params().Delete(p);
        return ParamBuild::Removed;
    }
    PruneReportOptions(param);
    AddCommonControls(c, p, param);
    if (BuildTypedControls(c, p, param))
        return ParamBuild::Built;
    // A param that cannot be built leaves no controls behind.
    delete m_controls[c][p].caption;
    delete m_controls[c][p].image;
    m_controls[c][p] = ParamControls{};
    return ParamBuild::Failed;
}

void TFormConfig::AddCommonControls(int c, int p, IXMLparamType param)
{
    using namespace EditorLayout;
    QWidget *page = m_tabSheets[c];
    auto *caption = new QLabel(Caption(param.Name()), page);
    SetEditorFont(caption);
    caption->move(CaptionLeft, CaptionTop(p));
    caption->adjustSize();
    auto *image = new QLabel(page);
    image->setGeometry(ImageLeft, CaptionTop(p), ImageSize, ImageSize);
    image->setScaledContents(true);
    image->setAttribute(Qt::WA_TranslucentBackground);
    image->setPixmap(param.Warncritical() != 0 ? m_imageWarning : m_imageHelp);
    image->setToolTip(Caption(param.Desc()));
    if (param.Name().contains(QStringLiteral("Report XDR Format"))) {
        caption->hide();
        image->hide();
    }
    m_controls[c][p].caption = caption;
    m_controls[c][p].image = image;
}

cfgInputTabPageType *TFormConfig::InputRecord(int c)
{
    const int index = m_device.Category(c).Groupindex();
    return index >= 0 && index < TemplateLimits::Inputs ? &m_inputPages[index] : nullptr;
}

bool TFormConfig::BuildTypedControls(int c, int p, IXMLparamType param)
{
    const QString type = param.Type();
    if (type == QLatin1String("int") || type == QLatin1String("delayedint"))
        BuildIntParam(c, p, param);
    else if (type == QLatin1String("select") || type == QLatin1String("delayedselect"))
        BuildSelectParam(c, p, param);
    else if (type == QLatin1String("sensorunits"))
        BuildSensorUnitsParam(c, p, param);
    else if (type == QLatin1String("reportstr"))
        BuildReportWidgets(c, p, param);
    else if (type == QLatin1String("reportxdr"))
        return BuildXdrWidgets(param);
    else if (type == QLatin1String("maskedfloat"))
        BuildMaskedFloatParam(c, p, param);
    else if (type == QLatin1String("timestr") || type == QLatin1String("string"))
        BuildTextParam(c, p, param, false);
    else if (type == QLatin1String("timestrcheckbox"))
        BuildTextParam(c, p, param, true);
    else
        return BuildInputParam(c, p, param);
    return true;
}

bool TFormConfig::BuildInputParam(int c, int p, IXMLparamType param)
{
    const QString type = param.Type();
    static const QStringList inputTypes = {QStringLiteral("senstypeselect"), QStringLiteral("cfgsensorunits"),
                                           QStringLiteral("aniptype"), QStringLiteral("substname"),
                                           QStringLiteral("digcount")};
    if (!inputTypes.contains(type)) {
        Log(QStringLiteral("UNRECOGNISED PARAM TYPE."));
        param.SetValuestring(QStringLiteral("VALUE_STRING_NOT_SET"));
        return false;
    }
    cfgInputTabPageType *input = InputRecord(c);
    if (!input)
        return false;
    if (type == QLatin1String("senstypeselect"))
        BuildSensTypeParam(c, p, param, *input);
    else if (type == QLatin1String("cfgsensorunits"))
        BuildCfgUnitsParam(c, p, param, *input);
    else if (type == QLatin1String("aniptype"))
        BuildAnipTypeParam(c, p, param, *input);
    else if (type == QLatin1String("substname"))
        BuildSubstNameParam(c, p, param, *input);
    else
        BuildDigCountParam(c, p, param, *input);
    return true;
}

QLineEdit *TFormConfig::NewEdit(int c, int top, int left, const QString &mask, bool upper)
{
    auto *edit = new QLineEdit(m_tabSheets[c]);
    SetEditorFont(edit);
    edit->setGeometry(left, top, EditorLayout::EditWidth, edit->sizeHint().height());
    ApplyEditMask(edit, mask, upper);
    m_commitWatcher->Watch(edit);
    return edit;
}

QComboBox *TFormConfig::NewCombo(int c, int top, bool editable)
{
    auto *combo = new QComboBox(m_tabSheets[c]);
    SetEditorFont(combo);
    combo->setEditable(editable);
    combo->setGeometry(EditorLayout::InputLeft, top, EditorLayout::ComboWidth, combo->sizeHint().height());
    return combo;
}

void TFormConfig::BuildIntParam(int c, int p, IXMLparamType param)
{
    QLineEdit *edit = NewEdit(c, EditorLayout::InputTop(p), EditorLayout::InputLeft, QStringLiteral("#999999"), false);
    edit->setText(QString::number(param.Value()));
    param.SetValuestring(edit->text());
    m_controls[c][p].edit = edit;
}

void TFormConfig::BuildSelectParam(int c, int p, IXMLparamType param)
{
    QComboBox *combo = NewCombo(c, EditorLayout::InputTop(p), false);
    const QStringList options = FillOptionList(param);
    combo->addItems(options);
    const int selected = param.Selected();
    combo->setCurrentIndex(selected >= 0 && selected < options.size() ? selected : -1);
    param.SetValuestring(combo->currentText());
    m_controls[c][p].combo = combo;
    if (param.Warncritical() != 0) {
        ConnectIndexChange(combo, this, [this] {
            ShowDifferences();
            Dialogs().Message(T(QStringLiteral("CHANGES_TO_BAUD_COMMS_PROTOCOL")), T(QStringLiteral("WARNING")));
        });
    } else {
        ConnectIndexChange(combo, this, [this] { ShowDifferences(); });
    }
}

void TFormConfig::BuildSensorUnitsParam(int c, int p, IXMLparamType param)
{
    QComboBox *combo = NewCombo(c, EditorLayout::InputTop(p), false);
    const int measurement = m_unitsDoc.IsNull() ? -1 : m_unitsDoc.FindMeasurement(param.Measure());
    if (measurement >= 0) {
        combo->addItems(m_unitsDoc.Measurement(measurement).Symbols());
        combo->setCurrentIndex(param.Selected());
    }
    param.SetValuestring(combo->currentText());
    m_controls[c][p].combo = combo;
    ConnectIndexChange(combo, this, [this] { ShowDifferences(); });
}

void TFormConfig::BuildSensTypeParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input)
{
    QComboBox *combo = NewCombo(c, EditorLayout::InputTop(p), false);
    combo->addItems(FillOptionList(param));
    if (param.Selected() == -1) {
        combo->addItem(kNotConfigured);
        combo->setCurrentIndex(combo->count() - 1);
    } else {
        combo->setCurrentIndex(param.Selected());
    }
    input.sensorTypeCombo = combo;
    input.inputName = m_device.Category(c).Name();
    param.SetValuestring(combo->currentText());
    const int index = int(&input - m_inputPages.data());
    ConnectIndexChange(combo, this, [this, index] { OnSensorTypeChanged(index); });
}

void TFormConfig::BuildCfgUnitsParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input)
{
    QComboBox *combo = NewCombo(c, EditorLayout::InputTop(p), false);
    input.sensorUnitsCombo = combo;
    input.customUnits = param.Customunits();
    const QString sensorType = input.sensorTypeCombo ? input.sensorTypeCombo->currentText() : QString();
    FillUnitsCombo(combo, sensorType, param.Selected(), input.customUnits);
    param.SetValuestring(combo->currentText());
    m_commitWatcher->Watch(combo);
}

void TFormConfig::FillUnitsCombo(QComboBox *combo, const QString &sensorType, int selected, const QString &customUnits)
{
    combo->clear();
    if (sensorType == QLatin1String("CUSTOM")) {
        combo->setEditable(true);
        combo->lineEdit()->setMaxLength(4);
        combo->addItem(customUnits.isEmpty() ? QStringLiteral("#") : customUnits);
        combo->setCurrentIndex(0);
        return;
    }
    combo->setEditable(false);
    const int measurement = m_unitsDoc.IsNull() ? -1 : m_unitsDoc.FindMeasurement(sensorType);
    if (measurement < 0) {
        combo->addItem(QStringLiteral("#"));
        combo->setCurrentIndex(0);
        return;
    }
    combo->addItems(m_unitsDoc.Measurement(measurement).Symbols());
    if (selected >= 0) {
        combo->setCurrentIndex(selected);
    } else {
        combo->addItem(QStringLiteral("#"));
        combo->setCurrentIndex(combo->count() - 1);
    }
}

void TFormConfig::BuildAnipTypeParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input)
{
    using namespace EditorLayout;
    QComboBox *combo = NewCombo(c, InputTop(p), false);
    combo->addItems(FillOptionList(param));
    if (param.Selected() < 0) {
        combo->addItem(kNotConfigured);
        combo->setCurrentIndex(combo->count() - 1);
    } else {
        combo->setCurrentIndex(param.Selected());
    }
    input.inputTypeCombo = combo;
    const int width = QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("00000000"));
    input.highLabel = new QLabel(Caption(QStringLiteral("Show High (5v or 20mA) Input As")), m_tabSheets[c]);
    input.lowLabel = new QLabel(Caption(QStringLiteral("Show Low (0v or 4mA) Input As")), m_tabSheets[c]);
    input.highEdit = NewEdit(c, InputTop(p + 1), InputLeft, QStringLiteral("#999999"), false);
    input.lowEdit = NewEdit(c, InputTop(p + 2), InputLeft, QStringLiteral("#999999"), false);
    for (QLabel *label : {input.highLabel, input.lowLabel})
        SetEditorFont(label);
    input.highLabel->move(CaptionLeft, InputTop(p + 1));
    input.lowLabel->move(CaptionLeft, InputTop(p + 2));
    input.highLabel->adjustSize();
    input.lowLabel->adjustSize();
    input.highEdit->resize(width, input.highEdit->height());
    input.lowEdit->resize(width, input.lowEdit->height());
    input.highEdit->setText(QString::number(param.High()));
    input.lowEdit->setText(param.Low());
    if (combo->currentText() == kNotConfigured)
        param.SetValuestring(kNotConfigured);
    else
        param.SetValuestring(combo->currentText() + QLatin1Char(' ') + TrimBlank(input.highEdit->text()) +
                             QLatin1Char(' ') + TrimBlank(input.lowEdit->text()));
    ConnectIndexChange(combo, this, [this] { ShowDifferences(); });
}

void TFormConfig::BuildSubstNameParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input)
{
    input.substNameEdit =
        NewEdit(c, EditorLayout::InputTop(p), EditorLayout::InputLeft, QStringLiteral(">aaaaaaaa"), false);
    input.substNameEdit->setText(param.String());
    param.SetValuestring(TrimBlank(input.substNameEdit->text()).isEmpty() ? kNotConfigured : param.String());
}

void TFormConfig::BuildDigCountParam(int c, int p, IXMLparamType param, cfgInputTabPageType &input)
{
    const QString mask = m_protocolVersion == 2 ? QStringLiteral("cccc") : QStringLiteral("cccccc");
    input.digitCountEdit = NewEdit(c, EditorLayout::InputTop(p), EditorLayout::InputLeft, mask, false);
    input.digitCountEdit->setText(param.String());
    param.SetValuestring(TrimBlank(input.digitCountEdit->text()).isEmpty() ? kNotConfigured : param.String());
}

void TFormConfig::BuildMaskedFloatParam(int c, int p, IXMLparamType param)
{
    QLineEdit *edit = NewEdit(c, EditorLayout::InputTop(p), EditorLayout::InputLeft, param.Mask(), true);
    edit->setText(param.Floatvalue());
    param.SetValuestring(param.Floatvalue());
    m_controls[c][p].edit = edit;
}

void TFormConfig::BuildTextParam(int c, int p, IXMLparamType param, bool withSyncBox)
{
    using namespace EditorLayout;
    const bool time = param.Type() != QLatin1String("string");
    QLineEdit *edit = NewEdit(c, InputTop(p), InputLeft, QString(), true);
    if (time)
        edit->resize(TimeEditWidth, edit->height());
    edit->setText(param.String());
    m_controls[c][p].edit = edit;
    if (time)
        m_controls[c][p].builtText = edit->text();
    if (!withSyncBox)
        return;
    auto *check = new QCheckBox(Caption(QStringLiteral("Sync time to PC")), m_tabSheets[c]);
    SetEditorFont(check);
    // Wider when a translation needs it.
    check->setGeometry(CheckLeft, CaptionTop(p), qMax(CheckWidth, check->sizeHint().width()),
                       check->sizeHint().height());
    bool sync = false;
    if (TfrmGuiSettings *settings = GuiSettings())
        settings->GetSyncTime(sync);
    check->setChecked(sync);
    connect(check, &QCheckBox::clicked, this, [this](bool checked) { OnSyncTimeClicked(checked); });
    m_controls[c][p].check = check;
}

void TFormConfig::ApplySubstituteNames()
{
    for (const cfgInputTabPageType &input : m_inputPages) {
        if (input.inputName == kUnused || !input.substNameEdit)
            continue;
        const QString subst = TrimBlank(input.substNameEdit->text());
        for (QComboBox *slot : std::as_const(m_report.paramSlots)) {
            for (int i = 0; i < slot->count(); ++i) {
                if (slot->itemText(i) == subst)
                    slot->setItemText(i, input.inputName);
            }
        }
    }
}

TfrmGuiSettings *TFormConfig::GuiSettings() const
{
    return m_host ? &m_host->GuiSettings() : nullptr;
}

void TFormConfig::OnEditCommitted()
{
    if (m_building || m_checking)
        return;
    ValidateEntries();
    ShowDifferences();
}

void TFormConfig::OnSensorTypeChanged(int inputIndex)
{
    if (m_building)
        return;
    cfgInputTabPageType &input = m_inputPages[inputIndex];
    if (input.sensorUnitsCombo) {
        const int selected = input.sensorUnitsCombo->currentText().contains(QLatin1Char('#')) ? -1 : 0;
        FillUnitsCombo(input.sensorUnitsCombo, input.sensorTypeCombo->currentText(), selected, input.customUnits);
    }
    ShowDifferences();
}

void TFormConfig::OnSyncTimeClicked(bool checked)
{
    Q_UNUSED(checked);
    TfrmGuiSettings *settings = GuiSettings();
    if (!settings)
        return;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            if (category.Param(p).Type() == QLatin1String("timestrcheckbox") && m_controls[c][p].check)
                settings->SetSyncTime(m_controls[c][p].check->isChecked());
        }
    }
}
