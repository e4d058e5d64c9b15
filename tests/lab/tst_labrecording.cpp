// Quorinlab with real parts: a real serial port on the simulated Arduino Uno running the
// potentiometer's sketch, files saved through the window's dialogs and read back, and the CSV
// opened by LibreOffice Calc as a class's spreadsheet opens it.

#include "dialoganswer.h"
#include "labwindow.h"
#include "pointtext.h"
#include "protocol.h"
#include "serialcommport.h"
#include "sessiongraph.h"
#include "statuslamp.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int Patience = 60000; // bounds a hang only
// One code's step on the readers' scale: 100 / 253.
constexpr double CodeStep = Quorin::FullScale / Quorin::CodeSpan;

// The simulated Uno running the potentiometer's sketch, A0 as its options say.
class Uno
{
public:
    explicit Uno(const QStringList &a0)
    {
        m_process.start(
            QStringLiteral(QUORIN_UNO),
            QStringList{QStringLiteral(QUORIN_SKETCH_DIR "/potenziometro/potenziometro.elf")} + a0);
        // The pty's path comes first.
        if (m_process.waitForStarted(Patience)
            && QTest::qWaitFor([this] { return m_process.canReadLine(); }, Patience))
            path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Uno() { pull(); }
    Uno(const Uno &) = delete;
    Uno &operator=(const Uno &) = delete;

    // As when its USB cable is pulled: the line goes.
    void pull()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(Patience);
    }

    QString path;

private:
    QProcess m_process;
};

// The window on a real serial port whose port 3 is the device at `*device`.
struct Lab
{
    Lab(const QString &folder, const QString *device)
        : window(new Quorin::SerialCommPort(nullptr, [device](int) { return *device; }), folder)
    {
        window.show();
        window.start();
    }
    template<typename T>
    T *find(const char *name) const
    {
        return window.findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) const
    {
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
    }
    void choose(qint64 intervalMs, int minutes) const
    {
        auto *interval = find<QComboBox>("interval");
        interval->setCurrentIndex(interval->findData(intervalMs));
        find<QSpinBox>("duration")->setValue(minutes);
    }
    [[nodiscard]] qsizetype points() const { return qsizetype(window.session().points().size()); }

    Quorin::LabWindow window;
};

// The cells of a spreadsheet that LibreOffice Calc wrote as flat ODS, one row a list of cells,
// each "type:value": "float:12.5", "date:2024-05-06T10:15:30", "string:Tempo (s)".
QList<QStringList> spreadsheetRows(const QString &fods)
{
    QFile file(fods);
    QList<QStringList> rows;
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    QXmlStreamReader xml(&file);
    QString type;
    QString value;
    int repeated = 1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.qualifiedName() == u"table:table-row") {
            rows.append(QStringList());
        } else if (xml.isStartElement() && xml.qualifiedName() == u"table:table-cell") {
            const QXmlStreamAttributes attributes = xml.attributes();
            type = attributes.value(u"office:value-type"_s).toString();
            value = attributes.value(type == u"date" ? u"office:date-value"_s : u"office:value"_s)
                        .toString();
            repeated = std::max(attributes.value(u"table:number-columns-repeated"_s).toInt(), 1);
        } else if (xml.isStartElement() && xml.qualifiedName() == u"text:p" && type == u"string") {
            value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement() && xml.qualifiedName() == u"table:table-cell"
                   && !type.isEmpty() && !rows.isEmpty()) {
            for (int i = 0; i < repeated; ++i)
                rows.last().append(type + u':' + value);
            type.clear();
        }
    }
    return rows;
}

} // namespace

class TestLabRecording : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        QVERIFY(m_folder.isValid());
    }

    // A minute at a tenth of a second with A0 rising 10 mV a second, 0.2 on the readers'
    // scale: every point lies within one code's step of a straight line of that slope through
    // them, at the point's time; and the run ends by itself at its minute.
    void followsTheSimulatedUnoUntilItsDurationEnds()
    {
        Uno uno({u"--a0-sweep"_s, u"500,4500,800"_s});
        QVERIFY(!uno.path.isEmpty());
        Lab lab(m_folder.path(), &uno.path);
        QCOMPARE(lab.window.lamp()->state(), Quorin::LampState::Lit);
        lab.choose(100, 1);
        lab.click("startRecording");
        QVERIFY(lab.window.session().isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(!lab.window.session().isRecording(), 3 * Patience);

        const Quorin::Session &session = lab.window.session();
        QCOMPARE(session.endMs(), 60000);
        QVERIFY(lab.points() > 0 && lab.points() <= 600);
        QVERIFY(session.points().back().timeMs <= 59900);
        // The line through the points, by least squares, and how far each point is from it.
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (const Quorin::Point &point : session.points()) {
            const double t = double(point.timeMs) / 1000;
            st += t;
            sv += point.value();
            stt += t * t;
            stv += t * point.value();
        }
        const auto n = double(lab.points());
        const double slope = (n * stv - st * sv) / (n * stt - st * st);
        const double intercept = (sv - slope * st) / n;
        // 10 mV a second of the potentiometer's 5 V is 0.2 a second on the scale of 100.
        QVERIFY2(std::abs(slope - 0.2) < 0.02, qPrintable(QString::number(slope)));
        double farthest = 0;
        for (const Quorin::Point &point : session.points())
            farthest = std::max(
                farthest,
                std::abs(point.value() - intercept - slope * double(point.timeMs) / 1000));
        qInfo("%lld points, %.4f a second, %.3f at most from the line (one code is %.3f)",
              qint64(n), slope, farthest, CodeStep);
        QVERIFY(farthest <= CodeStep);
        lab.window.session().markSaved();
    }

    // The saved CSV reads back as the points, and Calc, opening it as a double-click does on a
    // system of the format's language (its default separators: comma, semicolon and tab at
    // once), finds numbers and dates in it.
    void savedDataReadsBackAndCalcFindsNumbers_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("systemLocale");
        QTest::newRow("for Excel and Calc in Italian")
            << u"Tabella per Excel e Calc in italiano (*.csv)"_s
            << int(Quorin::CsvFormat::Semicolon) << u"it_IT.UTF-8"_s;
        QTest::newRow("commas and decimal points")
            << u"Tabella con virgole e punti decimali, per altri programmi (*.csv)"_s
            << int(Quorin::CsvFormat::Comma) << u"en_US.UTF-8"_s;
    }

    void savedDataReadsBackAndCalcFindsNumbers()
    {
        QFETCH(QString, filter);
        QFETCH(int, format);
        QFETCH(QString, systemLocale);
        Uno uno({u"--a0"_s, u"2000"_s});
        QVERIFY(!uno.path.isEmpty());
        Lab lab(m_folder.path(), &uno.path);
        lab.find<QLineEdit>("title")->setText(u"Tensione; su A0"_s);
        lab.find<QComboBox>("unit")->setCurrentText(u"%"_s);
        lab.choose(100, 0);
        lab.click("startRecording");
        QTRY_VERIFY_WITH_TIMEOUT(lab.points() >= 5, Patience);
        lab.click("stopRecording");

        const QString csv
            = m_folder.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".csv"_s);
        const auto choose = DialogAnswer::choose(csv, filter);
        lab.click("saveData");
        QVERIFY(choose->answered());
        QFile saved(csv);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const Quorin::Session &session = lab.window.session();
        QCOMPARE(saved.readAll(), Quorin::csvText(session, Quorin::CsvFormat(format)));
        QVERIFY(!session.hasUnsavedPoints());

        // Calc, without its windows, on a profile of its own, saves what it read as flat ODS.
        QProcess calc;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LC_ALL"_s, systemLocale);
        calc.setProcessEnvironment(environment);
        const QString out = m_folder.filePath(u"calc"_s);
        calc.start(QStringLiteral(QUORIN_SOFFICE),
                   {u"-env:UserInstallation=file://"_s + m_folder.filePath(u"profile"_s),
                    u"--headless"_s, u"--convert-to"_s, u"fods"_s,
                    u"--infilter=CSV:44/59/9,34,76,1"_s, u"--outdir"_s, out, csv});
        QVERIFY(calc.waitForFinished(3 * Patience));
        const QList<QStringList> rows
            = spreadsheetRows(QDir(out).filePath(QFileInfo(csv).completeBaseName() + u".fods"_s));
        QCOMPARE(rows.size(), qsizetype(session.points().size()) + 1);
        QStringList headings;
        for (int column = 0; column < Quorin::ColumnCount; ++column)
            headings += u"string:"_s + Quorin::columnHeader(session, Quorin::Column(column));
        QCOMPARE(rows[0], headings);
        const QDateTime origin = session.origin();
        for (qsizetype i = 0; i < qsizetype(session.points().size()); ++i) {
            const Quorin::Point &point = session.points()[std::size_t(i)];
            const auto rounded = [](double v, int decimals) {
                return QString::number(v, 'f', decimals).toDouble();
            };
            const QStringList expected{
                u"float:"_s + QString::number(rounded(double(point.timeMs) / 1000, 1)),
                u"float:"_s + QString::number(rounded(point.value(), 2)),
                u"float:"_s + QString::number(point.count),
                u"float:"_s + QString::number(rounded(point.minimum(), 1)),
                u"float:"_s + QString::number(rounded(point.maximum(), 1)),
                u"date:"_s + origin.addMSecs(point.timeMs).toString(u"yyyy-MM-ddTHH:mm:ss"_s)};
            QCOMPARE(rows[i + 1], expected);
        }
        qInfo("Calc, %s: %s / %s", qPrintable(systemLocale), qPrintable(rows[0].join(u" | ")),
              qPrintable(rows[1].join(u" | ")));
    }

    // The Uno's cable pulled in mid-session: the readers' report, and every point stays; plugged
    // in again (the system gives it another device), "Avvia la registrazione" goes on with the
    // same session after a gap.
    void aPulledDeviceKeepsEveryPoint()
    {
        QString device;
        auto uno = std::make_unique<Uno>(QStringList{u"--a0"_s, u"2500"_s});
        device = uno->path;
        Lab lab(m_folder.path(), &device);
        lab.choose(100, 0);
        lab.click("startRecording");
        QTRY_VERIFY_WITH_TIMEOUT(lab.points() >= 10, Patience);

        // What the window has when the cable goes: nothing is read while it is pulled here.
        const std::vector<Quorin::Point> recorded = lab.window.session().points();
        const auto report = DialogAnswer::click(u"OK"_s);
        uno->pull();
        QTRY_VERIFY_WITH_TIMEOUT(report->answered(), Patience);
        QVERIFY2(report->text().startsWith(
                     u"La porta seriale 3 (%1) ha smesso di funzionare: "_s.arg(device))
                     && report->text().contains(u"I punti registrati restano"_s),
                 qPrintable(report->text()));
        QCOMPARE(lab.window.lamp()->state(), Quorin::LampState::Unlit);
        QVERIFY(!lab.window.session().isRecording());
        // Every point stays, and the samples of the interval still open at the pull are the
        // last point; each holds samples of the same code, as the Uno sent.
        const std::vector<Quorin::Point> before = lab.window.session().points();
        QVERIFY(before.size() == recorded.size() || before.size() == recorded.size() + 1);
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (i < recorded.size())
                QCOMPARE(before[i].count, recorded[i].count);
            QCOMPARE(before[i].codeSum, qint64(before[i].count) * before[0].minCode);
        }

        uno = std::make_unique<Uno>(QStringList{u"--a0"_s, u"2500"_s});
        device = uno->path;
        lab.click("startRecording");
        QCOMPARE(lab.window.lamp()->state(), Quorin::LampState::Lit);
        QTRY_VERIFY_WITH_TIMEOUT(lab.points() >= qsizetype(before.size()) + 5, Patience);
        lab.click("stopRecording");
        const auto &after = lab.window.session().points();
        for (std::size_t i = 0; i < before.size(); ++i)
            QCOMPARE(after[i].timeMs, before[i].timeMs);
        QVERIFY(after[before.size()].startsLine);
        QVERIFY(after[before.size()].timeMs > before.back().timeMs);
        const auto *graph = lab.find<Quorin::SessionGraph>("graph");
        QTRY_VERIFY(std::any_of(graph->drawn().values.begin(), graph->drawn().values.end(),
                                [](double v) { return std::isnan(v); }));
        lab.window.session().markSaved();
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(TestLabRecording)
#include "tst_labrecording.moc"
