#include "workflows/provisionPlan.h"

#include "engine/validation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace
{
const QString kPort = QStringLiteral("port");
const QString kBase = QStringLiteral("base");
const QString kProduct = QStringLiteral("product");
const QString kSerial = QStringLiteral("serial");

bool IsFixedColumn(const QString &name)
{
    return name == kPort || name == kBase || name == kProduct || name == kSerial;
}

// The columns as the header names them: the fixed ones in lower case, the
// commands in upper case, as the templates spell them.
QStringList ColumnNames(const QStringList &header)
{
    QStringList names;
    for (const QString &cell : header) {
        const QString name = cell.trimmed();
        names.append(IsFixedColumn(name.toLower()) ? name.toLower() : name.toUpper());
    }
    return names;
}

int ParsePort(const QString &text, bool *scan)
{
    const QString port = text.trimmed();
    *scan = port.compare(QLatin1String("scan"), Qt::CaseInsensitive) == 0;
    if (*scan || !port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int number = port.mid(3).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

QList<IXMLparamType> ParamsOf(const IXMLproductsType &products, const QString &cmd)
{
    QList<IXMLparamType> found;
    const IXMLdeviceType device = products.Device(0);
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p)
            if (device.Category(c).Param(p).Cmd().compare(cmd, Qt::CaseInsensitive) == 0)
                found.append(device.Category(c).Param(p));
    return found;
}

// Sets one param from the plan's text; empty when it took it, else why not.
QString SetParam(IXMLparamType param, const QString &value)
{
    const QString type = param.Type();
    if (type == QLatin1String("int") || type == QLatin1String("delayedint")) {
        bool ok = false;
        const int number = value.trimmed().toInt(&ok);
        if (!ok)
            return QStringLiteral("'%1' is not a whole number").arg(value);
        param.SetValue(number);
        param.SetValuestring(QString::number(number));
        return {};
    }
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect")) {
        const QStringList options = param.Option().Texts();
        for (int i = 0; i < options.size(); ++i)
            if (options[i].trimmed().compare(value.trimmed(), Qt::CaseInsensitive) == 0) {
                param.SetSelected(i);
                param.SetValuestring(options[i]);
                return {};
            }
        return QStringLiteral("'%1' is not one of: %2").arg(value, options.join(QStringLiteral(", ")));
    }
    if (type == QLatin1String("maskedfloat")) {
        param.SetFloatvalue(value.trimmed());
        param.SetValuestring(value.trimmed());
        return {};
    }
    if (type == QLatin1String("string")) {
        param.SetString(value);
        param.SetValuestring(value);
        return {};
    }
    return QStringLiteral("a plan cannot set %1 (a setting of type %2)").arg(param.Cmd(), type);
}

// What the engine's rule says of an entry, with its limits when it has them.
QString EntryProblem(const EntryError &error)
{
    QString text = QStringLiteral("'%1' is not allowed for %2").arg(error.text, error.param);
    if (!error.low.isEmpty() || !error.high.isEmpty())
        text += QStringLiteral(" (%1 to %2)").arg(error.low, error.high);
    return text;
}

class PlanReader
{
public:
    explicit PlanReader(ProvisionPlan &plan) : plan(plan), folder(QFileInfo(plan.path).absoluteDir()) {}

    void Read(const QList<CsvRecord> &records)
    {
        if (!ReadHeader(records.first()))
            return;
        for (int i = 1; i < records.size(); ++i)
            ReadUnit(records[i]);
        CheckAcrossRows();
    }

private:
    void Problem(int row, int column, const QString &text)
    {
        plan.problems.append({row, column, column > 0 ? columns.value(column - 1) : QString(), text});
    }

    bool ReadHeader(const CsvRecord &header)
    {
        columns = ColumnNames(header.fields);
        for (int c = 0; c < columns.size(); ++c) {
            if (columns[c].isEmpty())
                Problem(header.line, c + 1, QStringLiteral("the column has no name"));
            else if (columns.indexOf(columns[c]) != c)
                Problem(header.line, c + 1, QStringLiteral("the column is named twice"));
        }
        for (const QString &needed : {kPort, kBase})
            if (!columns.contains(needed))
                plan.problems.append({header.line, 0, needed, QStringLiteral("there is no '%1' column").arg(needed)});
        return !plan.Refused();
    }

    QString Cell(const CsvRecord &record, const QString &column) const
    {
        return record.fields.value(columns.indexOf(column)).trimmed();
    }

    void ReadUnit(const CsvRecord &record)
    {
        if (record.fields.size() > columns.size()) {
            Problem(
                record.line, columns.size() + 1,
                QStringLiteral("the row has %1 fields, the header %2").arg(record.fields.size()).arg(columns.size()));
            return;
        }
        PlanUnit unit;
        unit.row = record.line;
        unit.key = record.fields.join(QChar(0x1f));
        unit.product = Cell(record, kProduct);
        unit.serial = Cell(record, kSerial);
        bool scan = false;
        unit.comNumber = ParsePort(Cell(record, kPort), &scan);
        if (unit.comNumber == 0 && !scan)
            Problem(record.line, columns.indexOf(kPort) + 1,
                    QStringLiteral("'%1' is neither a port such as COM7 nor 'scan'").arg(Cell(record, kPort)));
        for (int c = 0; c < columns.size(); ++c)
            if (!IsFixedColumn(columns[c]) && !record.fields.value(c).trimmed().isEmpty())
                unit.overrides.append({columns[c], record.fields.value(c).trimmed(), c + 1});
        CheckBase(record, unit);
        plan.units.append(unit);
    }

    void CheckBase(const CsvRecord &record, PlanUnit &unit)
    {
        const int column = columns.indexOf(kBase) + 1;
        const QString base = Cell(record, kBase);
        if (base.isEmpty()) {
            Problem(record.line, column, QStringLiteral("no base configuration file is named"));
            return;
        }
        unit.baseFile = QFileInfo(folder, base).absoluteFilePath();
        const DocumentLoad load = LoadConfigDocument(unit.baseFile);
        if (load.error != DocumentLoadError::None) {
            Problem(record.line, column, load.reason);
            return;
        }
        const QList<PlanProblem> set = ApplyOverrides(load.products, unit.overrides, unit.row);
        for (const PlanProblem &problem : set)
            Problem(problem.row, problem.column, problem.text);
        Document document;
        document.products = load.products;
        for (const EntryError &error : ValidateDocument(document)) {
            const auto overridden = std::find_if(unit.overrides.cbegin(), unit.overrides.cend(), [&](const auto &o) {
                return o.cmd.compare(error.cmd, Qt::CaseInsensitive) == 0;
            });
            if (overridden != unit.overrides.cend())
                Problem(record.line, overridden->column, EntryProblem(error));
            else
                Problem(record.line, column, QStringLiteral("the file's entry: ") + EntryProblem(error));
        }
    }

    void CheckAcrossRows()
    {
        const int portColumn = columns.indexOf(kPort) + 1;
        const int serialColumn = columns.indexOf(kSerial) + 1;
        QHash<int, const PlanUnit *> byPort;
        QHash<QString, const PlanUnit *> bySerial;
        for (const PlanUnit &unit : plan.units) {
            if (!unit.Scans() && byPort.contains(unit.comNumber)) {
                const PlanUnit *first = byPort.value(unit.comNumber);
                if (!first->product.isEmpty() && !unit.product.isEmpty() &&
                    first->product.compare(unit.product, Qt::CaseInsensitive) != 0)
                    Problem(unit.row, portColumn,
                            QStringLiteral("%1 is row %2's port too, with another product (%3)")
                                .arg(unit.PortText())
                                .arg(first->row)
                                .arg(first->product));
            }
            byPort.insert(unit.comNumber, &unit);
            if (unit.serial.isEmpty())
                continue;
            if (const PlanUnit *first = bySerial.value(unit.serial.toUpper()))
                Problem(unit.row, serialColumn,
                        QStringLiteral("serial number %1 is row %2's too").arg(unit.serial).arg(first->row));
            else
                bySerial.insert(unit.serial.toUpper(), &unit);
        }
    }

    ProvisionPlan &plan;
    QDir folder;
    QStringList columns;
};
} // namespace

QString PlanUnit::PortText() const
{
    return Scans() ? QStringLiteral("scan") : QStringLiteral("COM") + QString::number(comNumber);
}

QString PlanProblem::Describe() const
{
    QString where = row > 0 ? QStringLiteral("row %1").arg(row) : QStringLiteral("the plan");
    if (column > 0)
        where += QStringLiteral(", column %1").arg(column);
    if (!columnName.isEmpty())
        where += QStringLiteral(" (%1)").arg(columnName);
    return where + QStringLiteral(": ") + text;
}

bool ParseCsv(const QString &text, QList<CsvRecord> &records, int *badLine)
{
    records.clear();
    CsvRecord record{1, {}};
    QString field;
    int line = 1;
    int quoteLine = 0; // the line an open quote started on; 0: none open
    bool wasQuoted = false;
    const auto endField = [&] {
        record.fields.append(field);
        field.clear();
        wasQuoted = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoteLine > 0) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoteLine = 0;
            } else {
                line += c == QLatin1Char('\n') ? 1 : 0;
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty() && !wasQuoted) {
            field.clear();
            quoteLine = line;
            wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n')) {
            endField();
            records.append(record);
            record = CsvRecord{++line, {}};
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (quoteLine > 0) {
        *badLine = quoteLine;
        return false;
    }
    if (!field.isEmpty() || !record.fields.isEmpty())
        endField(), records.append(record);
    return true;
}

QList<PlanProblem> ApplyOverrides(IXMLproductsType products, const QList<PlanOverride> &overrides, int row)
{
    QList<PlanProblem> problems;
    for (const PlanOverride &override : overrides) {
        const QList<IXMLparamType> params = ParamsOf(products, override.cmd);
        QString problem =
            params.isEmpty() ? QStringLiteral("%1 is no setting of the base file").arg(override.cmd) : QString();
        for (const IXMLparamType &param : params)
            if (problem.isEmpty())
                problem = SetParam(param, override.value);
        if (!problem.isEmpty())
            problems.append({row, override.column, override.cmd, problem});
    }
    return problems;
}

ProvisionPlan ReadProvisionPlan(const QString &path)
{
    ProvisionPlan plan;
    plan.path = QFileInfo(path).absoluteFilePath();
    QFile file(plan.path);
    if (!file.open(QIODevice::ReadOnly)) {
        plan.problems.append({0, 0, QString(), QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString())});
        return plan;
    }
    QList<CsvRecord> records;
    int badLine = 0;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) // the mark spreadsheets put before UTF-8
        text.remove(0, 1);
    if (!ParseCsv(text, records, &badLine)) {
        plan.problems.append({badLine, 0, QString(), QStringLiteral("a quote opened here is never closed")});
        return plan;
    }
    // Blank lines and comment lines ("# ...") are no units.
    records.removeIf([](const CsvRecord &record) {
        const QString first = record.fields.value(0).trimmed();
        return (record.fields.join(QString()).trimmed().isEmpty()) || first.startsWith(QLatin1Char('#'));
    });
    if (records.size() < 2) {
        plan.problems.append(
            {0, 0, QString(), QStringLiteral("the plan names no unit (a header and one row at least)")});
        return plan;
    }
    PlanReader(plan).Read(records);
    return plan;
}
