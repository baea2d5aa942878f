// The output window's decoded side: the simulated sensor's lines go in as the
// main window hands them over, and the user works the Channels and Plot pages
// with the mouse and keyboard.
#include "diagnostics/OutputWin.h"
#include "diagnostics/channelPlot.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simulatedLines.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>

namespace
{
const QString kAppDir = QStringLiteral(TALVEK_TEST_APP_DIR "/");
const QString kProduct = QStringLiteral("Tempris KDX600-10 PV9");
const QString kReport = QStringLiteral("NODE DIR SPEED TEMP RH PRESS STATUS");
enum Row { NodeRow, DirRow, SpeedRow, TempRow, RhRow, PressRow, StatusRow };

QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<unreadable>")};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
}

// The pixels of the grabbed view near colour, inside area.
int PixelsOf(const QImage &image, const QColor &colour, const QRect &area)
{
    int count = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) < 60)
                ++count;
        }
    return count;
}
} // namespace

class TestLiveView : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    SensorLines sensor;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TfrmOutput> window;
    QDateTime clock;
    int fed = 0; // lines of the sensor fed so far

    template <typename W> W *Child(const char *name)
    {
        W *widget = window->findChild<W *>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no widget %s", name);
        return widget;
    }
    QStringList Messages()
    {
        QStringList texts;
        for (const ScriptedDialogs::Box &box : dialogs->boxes)
            if (box.kind == ScriptedDialogs::Kind::Message)
                texts << box.text;
        return texts;
    }
    QTableView *Table() { return Child<QTableView>("tvChannels"); }
    TChannelPlot *Plot() { return Child<TChannelPlot>("channelPlot"); }
    QChartView *PlotView() { return Child<QChartView>("plotView"); }
    QString Cell(int row, int column) { return Table()->model()->index(row, column).data().toString(); }
    void Click(const char *name) { QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton); }

    void ShowPage(int page)
    {
        QTabBar *bar = Child<QTabWidget>("tabsOutput")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
        QCOMPARE(Child<QTabWidget>("tabsOutput")->currentIndex(), page);
    }

    // Clicks the tick box in front of a channel's name.
    void Tick(int row)
    {
        ShowPage(1);
        QCoreApplication::processEvents();
        QTableView *view = Table();
        const QModelIndex index = view->model()->index(row, 0);
        QStyleOptionViewItem option;
        option.initFrom(view->viewport());
        option.rect = view->visualRect(index);
        option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = index.data().toString();
        const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    }

    // The sensor's lines one a second, from the window's clock on.
    void Feed(int count)
    {
        for (int i = 0; i < count; ++i) {
            window->AppendLine(sensor.lines[fed++ % sensor.lines.size()]);
            clock = clock.addSecs(1);
        }
    }

    QDateTimeAxis *TimeAxis() { return qobject_cast<QDateTimeAxis *>(Plot()->Chart()->axes(Qt::Horizontal).value(0)); }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        sensor = SimulatedLines(kAppDir, kProduct, {{"REPORT", kReport}}, folder.path(), 20);
        QCOMPARE(sensor.lines.size(), 20);
    }

    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0));
        fed = 0;
        window = std::make_unique<TfrmOutput>();
        window->SetClock([this] { return clock; });
        window->SetDocument(sensor.document);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        dialogs.reset();
    }

    void theTableShowsEachChannelWithItsUnitValueAndAge()
    {
        Feed(3);
        ShowPage(1);
        QCOMPARE(Table()->model()->rowCount(), 7);
        const QStringList names{"NODE", "DIR", "SPEED", "TEMP", "RH", "PRESS", "STATUS"};
        const QStringList units{"", "DEG", "MS", "C", "%", "HPA", ""};
        const QStringList fields = sensor.lines[2].trimmed().section(QLatin1Char('*'), 0, 0).split(QLatin1Char(','));
        for (int row = 0; row < names.size(); ++row) {
            QCOMPARE(Cell(row, 0), names[row]);
            QCOMPARE(Cell(row, 2), units[row]);
            QCOMPARE(Cell(row, 1), fields[row]);
        }
        QCOMPARE(Child<QLabel>("lbCounts")->text(), QStringLiteral("Decoded: 3   Not decoded: 0   Not valid: 0"));
        clock = clock.addMSecs(2500); // the age follows the window's clock on its one-second tick
        QTRY_COMPARE_WITH_TIMEOUT(Cell(TempRow, 3), QStringLiteral("3.5 s"), 3000);
    }

    void linesThatDoNotDecodeAreListedAndCounted()
    {
        Feed(1);
        window->AppendLine(QStringLiteral("\nQ,only two\r"));
        QString corrupt = sensor.lines[1];
        const qsizetype digit = corrupt.indexOf(QLatin1Char(',')) + 1; // the checksum no longer fits
        corrupt[digit] = corrupt[digit] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
        window->AppendLine(corrupt);
        ShowPage(1);
        auto *rejected = Child<QListWidget>("lvRejected");
        QCOMPARE(rejected->count(), 2);
        QVERIFY2(rejected->item(0)->text().contains(QLatin1String("Q,only two")), qPrintable(rejected->item(0)->text()));
        QVERIFY2(rejected->item(0)->text().contains(QLatin1String("fields")), qPrintable(rejected->item(0)->text()));
        QVERIFY2(rejected->item(1)->text().contains(QLatin1String("checksum")), qPrintable(rejected->item(1)->text()));
        QCOMPARE(Child<QLabel>("lbCounts")->text(), QStringLiteral("Decoded: 1   Not decoded: 2   Not valid: 0"));
        // Only the checksum failure is a transmission error.
        QVERIFY2(Child<QLabel>("lbStatus")->text().endsWith(QLatin1String("Errors: 1")),
                 qPrintable(Child<QLabel>("lbStatus")->text()));
    }

    void tickingAChannelPlotsItOnAnAxisOfItsUnit()
    {
        Feed(5);
        QCOMPARE(Plot()->Chart()->series().size(), 0);
        Tick(TempRow);
        QCOMPARE(Table()->model()->index(TempRow, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QLineSeries *temp = Plot()->SeriesOf(TempRow);
        QVERIFY(temp != nullptr);
        QCOMPARE(temp->name(), QStringLiteral("TEMP [C]"));
        QCOMPARE(temp->count(), 5); // the values before the tick are there at once
        Tick(SpeedRow);
        QCOMPARE(Plot()->Chart()->series().size(), 2);
        const QList<QAbstractAxis *> values = Plot()->Chart()->axes(Qt::Vertical);
        QCOMPARE(values.size(), 2);
        QStringList titles{values[0]->titleText(), values[1]->titleText()};
        titles.sort();
        QCOMPARE(titles, (QStringList{"C", "MS"}));
        Tick(TempRow);
        QVERIFY(Plot()->SeriesOf(TempRow) == nullptr);
        QCOMPARE(Plot()->Chart()->axes(Qt::Vertical).size(), 1);
        QCOMPARE(Plot()->Chart()->axes(Qt::Vertical).first()->titleText(), QStringLiteral("MS"));
    }

    void thePlotDrawsTheTickedChannel()
    {
        Feed(60);
        Tick(TempRow);
        ShowPage(2);
        QLineSeries *temp = Plot()->SeriesOf(TempRow);
        QVERIFY(temp != nullptr);
        QCoreApplication::processEvents();
        const QRect area = PlotView()->mapFromScene(Plot()->Chart()->plotArea()).boundingRect();
        QVERIFY(area.width() > 100 && area.height() > 50);
        const QImage picture = PlotView()->grab().toImage();
        const int drawn = PixelsOf(picture, temp->color(), area);
        // A minute of a ten-minute window: a line across a tenth of the plot.
        QVERIFY2(drawn > area.width() / 20, qPrintable(QString::number(drawn)));
        // The times under the plot are written (dark text below the plot area).
        const QRect labels(area.left(), area.bottom() + 3, area.width(), 16);
        QVERIFY(PixelsOf(picture, Qt::black, labels) + PixelsOf(picture, QColor(80, 80, 80), labels) > 20);

        const QColor colour = temp->color();
        ShowPage(1);
        Tick(TempRow);
        ShowPage(2);
        QCoreApplication::processEvents();
        QCOMPARE(PixelsOf(PlotView()->grab().toImage(), colour, area), 0);
    }

    void onlyTheLastMinutesAreKept()
    {
        Feed(1);
        Tick(TempRow);
        Tick(SpeedRow);
        ShowPage(2);
        auto *minutes = Child<QSpinBox>("sbMinutes");
        QCOMPARE(minutes->value(), TChannelPlot::kDefaultMinutes);
        QTest::mouseClick(minutes, Qt::LeftButton);
        QTest::keyClick(minutes, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(minutes, QStringLiteral("2"));
        QTest::keyClick(minutes, Qt::Key_Return);
        QCOMPARE(Plot()->KeptMinutes(), 2);
        const qint64 start = clock.toMSecsSinceEpoch();
        QVERIFY(Plot()->SeriesOf(TempRow) != nullptr);
        Feed(599);
        const qint64 last = clock.toMSecsSinceEpoch() - 1000;
        const int numeric = 6; // DIR SPEED TEMP RH PRESS, and STATUS: 0000 reads as a number
        QVERIFY2(Plot()->KeptPoints() <= numeric * 121, qPrintable(QString::number(Plot()->KeptPoints())));
        QTRY_COMPARE(Plot()->SeriesOf(TempRow)->count(), 121);
        const QLineSeries *temp = Plot()->SeriesOf(TempRow);
        QCOMPARE(qint64(temp->at(0).x()), last - 120000);
        QVERIFY(qint64(temp->at(0).x()) > start);
        QCOMPARE(TimeAxis()->max().toMSecsSinceEpoch(), last);
        QCOMPARE(TimeAxis()->min().toMSecsSinceEpoch(), last - 120000);
    }

    void pauseStopsThePlotAndResumeCatchesUpWithEveryValue()
    {
        Feed(1);
        Tick(TempRow);
        QVERIFY(Plot()->SeriesOf(TempRow) != nullptr);
        Feed(9);
        QTRY_COMPARE(Plot()->SeriesOf(TempRow)->count(), 10);
        Click("buPause");
        Feed(20);
        QTest::qWait(TChannelPlot::kRefreshMs + 200);
        QCOMPARE(Plot()->SeriesOf(TempRow)->count(), 10);
        Click("buPause");
        QCOMPARE(Plot()->SeriesOf(TempRow)->count(), 30);
        QCOMPARE(qint64(Plot()->SeriesOf(TempRow)->at(29).x()), clock.toMSecsSinceEpoch() - 1000);
    }

    void theWheelZoomsAndResetGoesBackToTheLatestMinutes()
    {
        Feed(1);
        Tick(TempRow);
        QVERIFY(Plot()->SeriesOf(TempRow) != nullptr);
        Feed(119);
        ShowPage(2);
        QTRY_COMPARE(Plot()->SeriesOf(TempRow)->count(), 120);
        const qint64 span = TimeAxis()->max().toMSecsSinceEpoch() - TimeAxis()->min().toMSecsSinceEpoch();
        QCOMPARE(span, qint64(TChannelPlot::kDefaultMinutes) * 60000);
        QWidget *viewport = PlotView()->viewport();
        const QPointF centre = QRectF(viewport->rect()).center();
        QWheelEvent wheel(centre, viewport->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        const qint64 zoomedMax = TimeAxis()->max().toMSecsSinceEpoch();
        QVERIFY(zoomedMax - TimeAxis()->min().toMSecsSinceEpoch() < span);
        QVERIFY(!Plot()->Following());
        Feed(10); // the view stays where the user put it
        QTRY_COMPARE(Plot()->SeriesOf(TempRow)->count(), 130);
        QCOMPARE(TimeAxis()->max().toMSecsSinceEpoch(), zoomedMax);
        Click("buResetZoom");
        QVERIFY(Plot()->Following());
        QCOMPARE(TimeAxis()->max().toMSecsSinceEpoch(), clock.toMSecsSinceEpoch() - 1000);
        QCOMPARE(TimeAxis()->max().toMSecsSinceEpoch() - TimeAxis()->min().toMSecsSinceEpoch(), span);
    }

    void recordsTheDecodedChannelsToCsv()
    {
        dialogs->fileNames << folder.filePath(QStringLiteral("channels.csv"));
        Feed(1); // before the recording: not in the file
        ShowPage(1);
        Click("buRecord");
        QVERIFY(Child<QPushButton>("buRecord")->isChecked());
        const QDateTime first = clock;
        Feed(2);
        window->AppendLine(QStringLiteral("\nnot a data line\r"));
        QStringList rows = ReadLines(folder.filePath(QStringLiteral("channels.csv")));
        QCOMPARE(rows.size(), 4); // header, two rows, and the end of the last
        QCOMPARE(rows[0], QStringLiteral("time,NODE,DIR [DEG],SPEED [MS],TEMP [C],RH [%],PRESS [HPA],STATUS"));
        QCOMPARE(rows[1], first.toUTC().toString(Qt::ISODateWithMs) + ',' +
                              sensor.lines[1].trimmed().section(QLatin1Char('*'), 0, 0));
        Click("buRecord");
        QVERIFY(!Child<QPushButton>("buRecord")->isChecked());
        Feed(2);
        QCOMPARE(ReadLines(folder.filePath(QStringLiteral("channels.csv"))).size(), 4);
        QVERIFY(Messages().isEmpty());
    }

    void aCsvFileThatCannotBeWrittenIsReported()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        dialogs->fileNames << QStringLiteral("/dev/full");
        Feed(1);
        ShowPage(1);
        Click("buRecord");
        QCOMPARE(Messages().size(), 1);
        QVERIFY2(Messages().first().contains(QLatin1String("/dev/full")), qPrintable(Messages().first()));
        QVERIFY(!Child<QPushButton>("buRecord")->isChecked());
        Feed(1); // the window goes on
        QVERIFY(Child<QLabel>("lbCounts")->text().startsWith(QLatin1String("Decoded: 2 ")));
    }

    void windDataMarkedNotValidIsShownButNotPlotted()
    {
        SensorLines wind = SimulatedLines(kAppDir, kProduct, {{"REPORT", "NMEA MWVR"}}, folder.path(), 2);
        QCOMPARE(wind.lines.size(), 2);
        window->hide();
        window->SetDocument(wind.document);
        window->show();
        window->AppendLine(wind.lines[0]);
        Tick(1); // SPEED
        QCOMPARE(Plot()->SeriesOf(1)->count(), 1);
        QString invalid = wind.lines[1].trimmed().section(QLatin1Char('*'), 0, 0);
        invalid.chop(1);
        invalid += QLatin1Char('V');
        window->AppendLine('\n' + invalid + '*' + LineChecksum(invalid.mid(1)));
        QCOMPARE(Child<QLabel>("lbCounts")->text(), QStringLiteral("Decoded: 2   Not decoded: 0   Not valid: 1"));
        QVERIFY2(Cell(1, 1).endsWith(QLatin1String("(not valid)")), qPrintable(Cell(1, 1)));
        QTest::qWait(TChannelPlot::kRefreshMs + 200);
        QCOMPARE(Plot()->SeriesOf(1)->count(), 1);
    }

    void aNewShowingStartsAfresh()
    {
        Feed(5);
        Tick(TempRow);
        QVERIFY(Plot()->SeriesOf(TempRow) != nullptr);
        window->hide();
        window->show();
        QCOMPARE(Table()->model()->rowCount(), 0);
        QCOMPARE(Plot()->KeptPoints(), 0);
        QCOMPARE(Plot()->Chart()->series().size(), 0);
        Feed(1);
        QCOMPARE(Table()->model()->rowCount(), 7);
        QCOMPARE(Table()->model()->index(TempRow, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }
};

QTEST_MAIN(TestLiveView)
#include "tst_liveView.moc"
