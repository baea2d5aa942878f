// The report editor: the report format combo, the report and XDR strings and
// the slots from which the user composes them.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/configPage.h"
#include "engine/splitFields.h"
#include "templates/productCatalogue.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace
{
const QString kDash = QStringLiteral("-");
constexpr int kSlotPitch = 100;
constexpr int kSlotWidth = 99;
constexpr int kSlotTop = 18;

QString RemoveWord(const QString &text, const QString &word)
{
    QString result;
    for (const QString &field : SplitFields(text, QLatin1Char(' '))) {
        if (field != word)
            result += field + QLatin1Char(' ');
    }
    return result.trimmed();
}

QLineEdit *NewStringEdit(QWidget *panel)
{
    auto *edit = new QLineEdit(panel);
    SetEditorFont(edit);
    edit->setReadOnly(true);
    edit->setFixedHeight(40);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, ReportEditColour());
    edit->setPalette(palette);
    return edit;
}

QGroupBox *NewGroup(const QString &title, QWidget *panel)
{
    auto *group = new QGroupBox(T(title), panel);
    SetEditorFont(group);
    group->setFixedHeight(100);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *scroll = new QScrollArea(group);
    scroll->setObjectName(QStringLiteral("slotArea"));
    layout->addWidget(scroll);
    return group;
}

// The items of the slot texts other than the ones a slot leaves out.
QStringList Without(const QStringList &texts, const QString &left)
{
    QStringList result = texts;
    result.removeAll(left);
    return result;
}

QString JoinSlots(const QList<QComboBox *> &slotCombos)
{
    QString joined;
    for (QComboBox *slot : slotCombos) {
        if (slot->currentText().trimmed() == kDash)
            continue;
        joined += slot->currentText() + QLatin1Char(' ');
    }
    return joined.trimmed();
}

bool IsNmeaWord(const QString &word)
{
    return word.compare(QLatin1String("NMEA"), Qt::CaseInsensitive) == 0;
}

QStringList WithoutNmeaWord(QStringList fields)
{
    fields.removeIf(IsNmeaWord);
    return fields;
}
} // namespace

bool TFormConfig::IsNmeaSentenceName(const QString &text)
{
    return ::IsNmeaSentenceName(text);
}

TFormConfig::ReportForm TFormConfig::ClassifyReport(const QStringList &fields, const QStringList &offered)
{
    return ::ClassifyReport(fields, offered);
}

QStringList TFormConfig::OfferedSentences(IXMLparamType param)
{
    return ::OfferedSentences(param);
}

QString TFormConfig::FilterReportString(const QString &text) const
{
    if (EditorOffline())
        return text;
    QStringList words;
    if (!HasOption(0x0001))
        words << QStringLiteral("XTILT") << QStringLiteral("YTILT") << QStringLiteral("ZORIENT");
    if (!HasOption(0x0002) && ThirteenModelList().contains(m_productName))
        words << QStringLiteral("PRECIPT") << QStringLiteral("PRECIPI") << QStringLiteral("PRECIPS");
    if (!HasOption(0x8000))
        words << QStringLiteral("HEATSTAT");
    if (!HasOption(0x0004))
        words << QStringLiteral("PITCH") << QStringLiteral("ROLL");
    if (!HasOption(0x0800))
        words << QStringLiteral("WWBT") << QStringLiteral("BGT") << QStringLiteral("WBGT") << QStringLiteral("WBGTD")
              << QStringLiteral("TWL");
    QString result = text;
    for (const QString &word : std::as_const(words))
        result = RemoveWord(result, word);
    return result;
}

QWidget *TFormConfig::NewSlotBox(QGroupBox *group, int slotCount)
{
    auto *scroll = group->findChild<QScrollArea *>(QStringLiteral("slotArea"));
    auto *box = new QWidget;
    box->resize(kSlotPitch * slotCount + 10, kSlotTop + 30);
    scroll->setWidget(box);
    return box;
}

QComboBox *TFormConfig::NewSlot(QWidget *box, int i, const QString &field, const QStringList &items)
{
    auto *slot = new QComboBox(box);
    SetEditorFont(slot);
    slot->setGeometry(kSlotPitch * i + 10, kSlotTop, kSlotWidth, slot->sizeHint().height());
    if (!field.isNull())
        slot->addItem(field);
    slot->addItem(kDash);
    slot->addItems(items);
    slot->setCurrentIndex(0);
    return slot;
}

void TFormConfig::BuildReportWidgets(int c, int p, IXMLparamType param)
{
    const QStringList fields = SplitFields(FilterReportString(param.Reportvalue()), QLatin1Char(' '));
    const ReportForm form = ClassifyReport(fields, OfferedSentences(param));

    auto *page = static_cast<TConfigPage *>(m_tabSheets[c].data());
    ReportWidgets &w = m_report;
    w.formatCombo = NewCombo(c, EditorLayout::InputTop(p), false);
    w.panel = new QWidget(page);
    page->SetBottomPanel(w.panel, w.formatCombo->y() + w.formatCombo->height());
    auto *layout = new QVBoxLayout(w.panel);
    layout->setContentsMargins(0, 0, 1, 0);
    layout->setSpacing(0);
    w.reportEdit = NewStringEdit(w.panel);
    w.paramGroup = NewGroup(QStringLiteral("Select Parameters to Report"), w.panel);
    w.sentenceGroup = NewGroup(QStringLiteral("Select Sentences to Report"), w.panel);
    layout->addWidget(w.reportEdit);
    layout->addWidget(new QLabel(w.panel));
    layout->addWidget(w.paramGroup);
    layout->addWidget(w.sentenceGroup);
    layout->addStretch(1);

    w.formatCombo->addItem(QStringLiteral("USERDEF"));
    w.formatCombo->addItems(param.Reportmode().Texts());
    SelectReportFormat(form);
    AddReportSlots(param, form, fields);
    ShowReportFormatWidgets();
    param.SetValuestring(w.reportEdit->text());
    connect(w.formatCombo, &QComboBox::currentIndexChanged, this, [this](int) { OnReportFormatChanged(); });
    for (QComboBox *slot : std::as_const(w.paramSlots) + w.sentenceSlots)
        connect(slot, &QComboBox::currentIndexChanged, this, [this](int) { OnReportSlotChanged(); });
}

void TFormConfig::SelectReportFormat(ReportForm form)
{
    // A form whose format the template lacks is shown as the sensor lists
    // it, so that writing it back changes nothing.
    QString format = QStringLiteral("USERDEF");
    if (form == ReportForm::AllSentences)
        format = QStringLiteral("NMEA");
    else if (form == ReportForm::SentenceSubset)
        format = QStringLiteral("NMEADEF");
    const int index = m_report.formatCombo->findText(format);
    if (index < 0 && form == ReportForm::AllSentences) {
        Dialogs().Message(T(QStringLiteral("NMEA detected but not a valid option")), T(QStringLiteral("ERROR")));
        Log(QStringLiteral("ERROR - NMEA detected but not a valid option."));
    }
    m_report.formatCombo->setCurrentIndex(std::max(index, 0));
}

void TFormConfig::AddReportSlots(IXMLparamType param, ReportForm form, const QStringList &fields)
{
    ReportWidgets &w = m_report;
    const bool userDefined = w.formatCombo->currentIndex() == 0;
    // The sensor never lists the word NMEA among parameters.
    const QStringList paramFields =
        !userDefined ? QStringList() : (form == ReportForm::Mixed ? WithoutNmeaWord(fields) : fields);
    const QStringList options = param.Repoption().Texts();
    QWidget *paramBox = NewSlotBox(w.paramGroup, int(options.size()));
    for (int i = 0; i < options.size(); ++i)
        w.paramSlots.append(NewSlot(paramBox, i, i < paramFields.size() ? paramFields[i] : QString(), options));

    // A sentence list the sensor holds fills the sentence slots; otherwise
    // they start from the template's.
    const QStringList sentences = form == ReportForm::SentenceSubset && !userDefined
                                      ? QStringList{QStringLiteral("NMEA")} + WithoutNmeaWord(fields)
                                      : SplitFields(FilterReportString(param.Reportnmeavalue()), QLatin1Char(' '));
    const QStringList sentenceOptions = Without(param.Repnmeaoption().Texts(), QStringLiteral("NMEA"));
    const int sentenceSlots = param.Repnmeaoption().Count();
    QWidget *sentenceBox = NewSlotBox(w.sentenceGroup, sentenceSlots);
    for (int i = 0; i < sentenceSlots; ++i)
        w.sentenceSlots.append(
            NewSlot(sentenceBox, i, i < sentences.size() ? sentences[i] : QString(), sentenceOptions));
    if (!w.sentenceSlots.isEmpty())
        w.sentenceSlots.first()->setEnabled(false);
}

bool TFormConfig::BuildXdrWidgets(IXMLparamType param)
{
    ReportWidgets &w = m_report;
    if (!w.panel) {
        Log(QStringLiteral("Report XDR Format comes before Report Format"));
        return false;
    }
    const QString xdr = FilterReportString(param.Reportxdrvalue());
    const QStringList fields = SplitFields(xdr, QLatin1Char(' '));
    auto *layout = static_cast<QVBoxLayout *>(w.panel->layout());
    w.xdrEdit = NewStringEdit(w.panel);
    w.xdrGroup = NewGroup(QStringLiteral("Select Transducers to Report"), w.panel);
    const int stretch = layout->count() - 1; // keep the stretch last
    layout->insertWidget(stretch, w.xdrEdit);
    layout->insertWidget(stretch + 1, new QLabel(w.panel));
    layout->insertWidget(stretch + 2, w.xdrGroup);

    const QStringList options = Without(param.Repxdroption().Texts(), QStringLiteral("XDR"));
    const int xdrCount = param.Repxdroption().Count();
    QWidget *box = NewSlotBox(w.xdrGroup, xdrCount);
    for (int i = 0; i < xdrCount; ++i)
        w.xdrSlots.append(NewSlot(box, i, i < fields.size() ? fields[i] : QString(), options));
    w.xdrEdit->setText(xdr);
    param.SetValuestring(w.xdrEdit->text());
    w.xdrEdit->hide();
    w.xdrGroup->hide();
    for (QComboBox *slot : std::as_const(w.xdrSlots))
        connect(slot, &QComboBox::currentIndexChanged, this, [this](int) { OnReportSlotChanged(); });
    return true;
}

void TFormConfig::RebuildReportString()
{
    ReportWidgets &w = m_report;
    if (!w.formatCombo)
        return;
    const QString format = w.formatCombo->currentText();
    if (format.contains(QStringLiteral("USERDEF"))) {
        w.reportEdit->setText(JoinSlots(w.paramSlots));
        return;
    }
    if (!format.contains(QStringLiteral("NMEADEF")))
        return;
    w.reportEdit->setText(JoinSlots(w.sentenceSlots));
    if (!w.xdrEdit)
        return;
    const bool xdr = w.reportEdit->text().contains(QStringLiteral("XDR"));
    if (xdr)
        w.xdrEdit->setText(JoinSlots(w.xdrSlots));
    w.xdrEdit->setVisible(xdr);
    w.xdrGroup->setVisible(xdr);
}

void TFormConfig::ShowReportFormatWidgets()
{
    ReportWidgets &w = m_report;
    for (QWidget *widget : {static_cast<QWidget *>(w.reportEdit), static_cast<QWidget *>(w.paramGroup),
                            static_cast<QWidget *>(w.sentenceGroup), static_cast<QWidget *>(w.xdrEdit),
                            static_cast<QWidget *>(w.xdrGroup)}) {
        if (widget)
            widget->hide();
    }
    const QString format = w.formatCombo->currentText();
    if (format.contains(QStringLiteral("USERDEF"))) {
        RebuildReportString();
        w.paramGroup->show();
    } else if (format.contains(QStringLiteral("NMEADEF"))) {
        RebuildReportString();
        w.sentenceGroup->show();
        const bool xdr = w.xdrEdit && w.reportEdit->text().contains(QStringLiteral("XDR"));
        if (xdr) {
            w.xdrEdit->show();
            w.xdrGroup->show();
        }
    } else {
        w.reportEdit->setText(format);
    }
    w.reportEdit->show();
}

void TFormConfig::OnReportFormatChanged()
{
    if (m_building)
        return;
    ShowReportFormatWidgets();
    ValidateEntries();
    ShowDifferences();
}

void TFormConfig::OnReportSlotChanged()
{
    if (m_building)
        return;
    RebuildReportString();
    ValidateEntries();
    ShowDifferences();
}
