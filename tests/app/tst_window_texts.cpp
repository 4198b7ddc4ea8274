#include "app/log_model.h"
#include "app/mount_settings_dialog.h"
#include "app/plot_style.h"
#include "app/tracking_chart.h"
#include "app/translations.h"
#include "tests/app/window_rig.h"
#include "tests/common/window_test_main.h"
#include "tracking/pass_recorder.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QXmlStreamReader>

static QStringList headers(const QTableView* view) {
    QStringList texts;
    for (int section = 0; section < view->model()->columnCount(); ++section)
        texts << view->model()->headerData(section, Qt::Horizontal).toString();
    return texts;
}

// What the window shows in words and lines: its translations, the event log and its view, and the
// tracking chart.
class TestWindowTexts : public WindowRig {
    Q_OBJECT

private slots:
    void translatedTexts_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("texts"); // separated by |
        QTest::newRow("German")
            << QLocale(QLocale::German, QLocale::Germany)
            << "Montierung|TLEs laden...|Ansicht|Hilfe|Montierung verbinden|Stopp|Parken|"
               "Überflüge|Name|Höhe (°)|Azimut (°)|Entfernung (km)|Geschw. (°/s)|Alter (d)|"
               "Besonnt|Zeit|Ereignis|Aufgang (UTC)|Kulmination (UTC)|Abbrechen";
        QTest::newRow("English")
            << QLocale(QLocale::English, QLocale::UnitedStates)
            << "Mount|Load TLEs...|View|Help|Connect mount|Stop|Park|Passes|Name|Altitude (deg)|"
               "Azimuth (deg)|Distance (km)|Speed (deg/s)|Age (d)|Sunlit|Time|Event|Rise (UTC)|"
               "Culmination (UTC)|Cancel";
    }

    // A sample of menus, buttons and column titles, the last one Qt's own (a standard button).
    void translatedTexts() {
        QFETCH(QLocale, locale);
        QFETCH(QString, texts);
        QObject translators;
        QCOMPARE(installTranslations(locale, &translators), locale.language() == QLocale::German);
        newWindow();
        const MountSettingsDialog setup;
        QStringList shown{child<QMenu>("mountMenu")->title(),
                          child<QAction>("loadTlesAction")->text(),
                          child<QMenu>("viewMenu")->title(),
                          child<QMenu>("helpMenu")->title(),
                          child<QCheckBox>("connectMountCheckBox")->text(),
                          child<QPushButton>("stopButton")->text(),
                          child<QPushButton>("parkButton")->text(),
                          child<QDockWidget>("passesDock")->windowTitle()};
        shown << headers(child<QTableView>("satelliteTableView"))
              << headers(child<QTableView>("logTableView"))
              << headers(child<QTableView>("passesTableView")).mid(1, 2)
              << setup.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
        QCOMPARE(shown, texts.split('|'));
    }

    // Every translation the program carries is complete: no entry unfinished, obsolete or empty,
    // and each keeps the place markers (%1, %n) of its English source.
    void translationsComplete_data() {
        QTest::addColumn<QString>("file");
        for (const QString& file : QString(ORBITRAK_TRANSLATIONS).split(','))
            QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
    }

    void translationsComplete() {
        QFETCH(QString, file);
        QFile ts(file);
        QVERIFY2(ts.open(QIODevice::ReadOnly), qPrintable(file));
        const auto markers = [](const QString& text) {
            QStringList found;
            for (auto m = QRegularExpression("%(\\d+|n)").globalMatch(text); m.hasNext();)
                found << m.next().captured();
            found.sort();
            return found;
        };
        QXmlStreamReader xml(&ts);
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            if (xml.name() != QLatin1String("translation"))
                continue;
            ++messages;
            const QString type = xml.attributes().value("type").toString();
            QVERIFY2(type.isEmpty(), qPrintable(type + ": " + source));
            QStringList forms;
            QString text;
            while (!(xml.readNext() == QXmlStreamReader::EndElement &&
                     xml.name() == QLatin1String("translation")) &&
                   !xml.atEnd()) {
                if (xml.isStartElement())
                    forms << xml.readElementText(); // a numerusform
                else if (xml.isCharacters())
                    text += xml.text();
            }
            for (const QString& form : forms.isEmpty() ? QStringList{text} : forms) {
                QVERIFY2(!form.trimmed().isEmpty(), qPrintable("empty: " + source));
                QVERIFY2(markers(form) == markers(source), qPrintable(form + " for " + source));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 0);
    }

    // Every level has a colour of its own, in both columns; entries keep their order however fast
    // they come, each stamped with the local time, and the newest 10,000 are kept.
    void logModel() {
        LogModel model;
        const QTime before = QTime::currentTime();
        for (int i = 0; i < 10005; ++i)
            model.addEntry(QString::number(i), LogLevel(i % 4));
        const QTime after = QTime::currentTime();
        QCOMPARE(model.rowCount(), 10000);
        QSet<QRgb> colours;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QColor colour = LogModel::colourFor(LogLevel((row + 5) % 4));
            QCOMPARE(model.index(row, 1).data().toString(), QString::number(row + 5));
            for (int column = 0; column < 2; ++column) {
                const QVariant brush = model.index(row, column).data(Qt::ForegroundRole);
                QCOMPARE(brush.value<QBrush>().style(), Qt::SolidPattern);
                QCOMPARE(brush.value<QBrush>().color(), colour);
            }
            colours << colour.rgba();
        }
        QCOMPARE(colours.size(), 4);
        const QString stamp = model.index(0, 0).data().toString();
        const QTime shown = QTime::fromString(stamp, "hh:mm:ss.zzz");
        QVERIFY2(shown.isValid() && stamp.size() == 12, qPrintable(stamp));
        if (before <= after) // not across midnight
            QVERIFY(shown >= before && shown <= after);
    }

    void logFoldsRepeats_data() {
        QTest::addColumn<QStringList>("added"); // "seconds level text", the level I, S, W or E
        QTest::addColumn<QStringList>("rows");  // "time text"
        QTest::newRow("Error within a minute of its latest, another text between")
            << QStringList{"0 E lost", "10 E other", "30 E lost", "90 E lost"}
            << QStringList{"12:01:30.000 lost (repeated 3 times)", "12:00:10.000 other"};
        QTest::newRow("Warning more than a minute later, then again")
            << QStringList{"0 W slow", "60.001 W slow", "100 W slow"}
            << QStringList{"12:00:00.000 slow", "12:01:40.000 slow (repeated 2 times)"};
        QTest::newRow("another level; Info and Success never fold")
            << QStringList{"0 E a", "1 W a", "2 I a", "3 I a", "4 S a", "5 S a"}
            << QStringList{"12:00:00.000 a", "12:00:01.000 a", "12:00:02.000 a",
                           "12:00:03.000 a", "12:00:04.000 a", "12:00:05.000 a"};
    }

    // An Error or Warning repeated within a minute of its row's latest time updates that row.
    void logFoldsRepeats() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, rows);
        const QDateTime noon(QDate(2026, 3, 19), QTime(12, 0));
        QDateTime now;
        LogModel model(nullptr, [&now] { return now; });
        for (const QString& entry : added) {
            const QStringList parts = entry.split(' ');
            now = noon.addMSecs(qint64(parts[0].toDouble() * 1000));
            model.addEntry(parts[2], LogLevel(QString("ISWE").indexOf(parts[1])));
        }
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, 0).data().toString() + ' ' +
                         model.index(row, 1).data().toString();
        QCOMPARE(shown, rows);
    }

    // The view follows new rows while it shows the bottom, and stays where the user scrolled to.
    void logViewFollowsNewRows() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* view = child<QTableView>("logTableView");
        auto* log = qobject_cast<LogModel*>(view->model());
        QScrollBar* bar = view->verticalScrollBar();
        for (int i = 0; i < 100; ++i)
            log->addEntry(QString::number(i), LogLevel::Info);
        const int bottom = bar->maximum();
        QVERIFY(bottom > 0);
        QCOMPARE(bar->value(), bottom);
        bar->setValue(bottom / 2);
        log->addEntry("scrolled up", LogLevel::Info);
        QTRY_VERIFY(bar->maximum() > bottom);
        QCOMPARE(bar->value(), bottom / 2);
        bar->setValue(bar->maximum());
        log->addEntry("at the bottom again", LogLevel::Info);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > bottom + 1);
        // The tracking chart showing above the log leaves it four rows at least, the newest in
        // view, however short the window.
        window->resize(window->width(), 100); // as short as the layout lets it be
        child<TrackingChart>("trackingChart")->show();
        QTRY_VERIFY(child<TrackingChart>("trackingChart")->height() > 0);
        QCoreApplication::processEvents();
        const int rowHeight = view->verticalHeader()->defaultSectionSize();
        QVERIFY2(view->viewport()->height() >= 4 * rowHeight,
                 qPrintable(QString::number(view->viewport()->height())));
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view->rowViewportPosition(log->rowCount() - 1) + rowHeight <=
                view->viewport()->height());
    }

    // The chart's time runs from the mount's first T: the slew and the wait for the rise take
    // no width, and the pass fills the chart from its left edge to its right.
    void trackingChartStartsWhenTrackingDoes_data() {
        QTest::addColumn<int>("waitSeconds"); // slewing and waiting before the first T
        QTest::newRow("tracking at once") << 0;
        QTest::newRow("ten minutes' wait") << 600;
        QTest::newRow("an hour's wait") << 3600;
    }

    void trackingChartStartsWhenTrackingDoes() {
        QFETCH(int, waitSeconds);
        double jd = 2461000.5;
        PassRecorder recorder(scales, scratch.filePath("passes"), [&jd](long) {
            SatelliteFix fix;
            fix.jd = jd;
            return fix;
        });
        TrackingChart chart;
        chart.resize(600, 120);
        chart.setRecorder(&recorder);
        recorder.beginPass();
        for (int second = 0; second <= waitSeconds + 300; second += 2) {
            jd = 2461000.5 + second / 86400.0;
            recorder.addReading(second < waitSeconds ? 'S' : 'T', 1.0 + second % 3, -1.5);
        }
        const QImage image = chart.grab().toImage();
        int first = image.width();
        int last = -1;
        for (int y = 2 * chart.fontMetrics().height(); y < image.height(); ++y) // below the legend
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == plot_style::kBlue) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        QVERIFY2(first < image.width() / 8 && last > image.width() * 7 / 8,
                 qPrintable(QString("%1 to %2").arg(first).arg(last)));
    }
};

ORBITRAK_WINDOW_TEST_MAIN(TestWindowTexts)
#include "tst_window_texts.moc"
