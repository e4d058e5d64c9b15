// Quorinlab's window on a fake port, driven through its buttons and dialogs as a user would,
// checking what the user sees: the value, the lamp, the figures, the table, the graph, the files.

#include "dialoganswer.h"
#include "fakecommport.h"
#include "journal.h"
#include "labwindow.h"
#include "pointtext.h"
#include "sessiongraph.h"
#include "statuslamp.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int Patience = 20000; // bounds a hang only

// The window on a fake port, shown and started, with a sensor sending frames of `code` every
// few milliseconds while `sending`.
struct Lab
{
    explicit Lab(const QString &folder)
        : window(port, folder)
    {
        window.show();
        window.start();
        sensor.setInterval(5);
        QObject::connect(&sensor, &QTimer::timeout,
                         [this] { port->arrive(QByteArray(1, char(255)) + char(code)); });
    }

    template<typename T>
    T *find(const char *name) const
    {
        auto *found = window.findChild<T *>(QLatin1String(name));
        Q_ASSERT_X(found, "Lab::find", name);
        return found;
    }
    void click(const char *button) const
    {
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
    }
    [[nodiscard]] QString text(const char *label) const { return find<QLabel>(label)->text(); }
    // Starts a run with a point every tenth of a second, and waits for `points` of them.
    [[nodiscard]] bool record(qsizetype points)
    {
        auto *interval = find<QComboBox>("interval");
        interval->setCurrentIndex(interval->findData(100));
        click("startRecording");
        sensor.start();
        return QTest::qWaitFor(
            [&] { return qsizetype(window.session().points().size()) >= points; }, Patience);
    }
    FakeCommPort *port = new FakeCommPort; // owned by the window
    Quorin::LabWindow window;
    QTimer sensor;
    int code = 128;
};

} // namespace

class TestLabWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Italian, as in a school: decimal commas in the window, the table and the files.
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        // Qt's own file dialog, which the test answers as a user would, also on Windows, whose
        // native one the test of the delivered program answers (tests/windows).
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY(m_folder.isValid());
    }

    void showsWhatItRecords()
    {
        Lab lab(m_folder.path());
        QCOMPARE(lab.window.lamp()->state(), Quorin::LampState::Lit);
        lab.find<QLineEdit>("title")->setText(u"Prova"_s);
        lab.find<QComboBox>("unit")->setCurrentText(u"°C"_s);
        QVERIFY(!lab.find<QPushButton>("stopRecording")->isEnabled());
        QVERIFY(lab.record(5));
        QVERIFY(!lab.find<QPushButton>("startRecording")->isEnabled());
        // (128 - 1) * 100 / 253 = 50.197...
        QTRY_COMPARE(lab.find<QLineEdit>("Text1")->text(), u"50,2"_s);
        lab.click("stopRecording");
        QVERIFY(lab.find<QPushButton>("startRecording")->isEnabled());

        const Quorin::Session &session = lab.window.session();
        const auto rows = qsizetype(session.points().size());
        QCOMPARE(lab.text("pointCount"), u"Punti: %1"_s.arg(rows));
        QCOMPARE(lab.text("minimum"), u"Minimo: 50,20 °C"_s);
        QCOMPARE(lab.text("mean"), u"Media: 50,20 °C"_s);
        // The table: a row for each point, as the files write it.
        const QAbstractItemModel *table = lab.find<QTableView>("points")->model();
        QCOMPARE(table->rowCount(), rows);
        QCOMPARE(table->headerData(1, Qt::Horizontal).toString(), u"Valore (°C)"_s);
        QCOMPARE(table->index(rows - 1, 1).data().toString(), u"50,20"_s);
        // The graph: the points, on the fixed scale.
        auto *graph = lab.find<Quorin::SessionGraph>("graph");
        QTRY_VERIFY(!graph->drawn().values.isEmpty());
        QCOMPARE(graph->drawn().values.constFirst(), session.points().front().value());
        QCOMPARE(graph->yAxis->range(), QCPRange(0, 100));
        QCOMPARE(graph->yAxis->label(), u"Valore (°C)"_s);
        lab.find<QCheckBox>("autoScale")->setChecked(true);
        QVERIFY(graph->yAxis->range().lower > 40 && graph->yAxis->range().upper < 60);
        // The clipboard: tab-separated rows with decimal commas.
        lab.click("copyData");
        QCOMPARE(QGuiApplication::clipboard()->text(), Quorin::tabText(session, u','));
        QCOMPARE(QGuiApplication::clipboard()->text().count(u'\n'), rows + 1);
        discard(lab);
    }

    void savesTheDataAndTheGraph()
    {
        Lab lab(m_folder.path());
        QVERIFY(lab.record(3));
        lab.click("stopRecording");
        Quorin::Session &session = lab.window.session();

        // The Italian CSV, as the locale's habits have it.
        const QString csv = m_folder.filePath(u"dati.csv"_s);
        const auto chooseCsv = DialogAnswer::choose(csv);
        lab.click("saveData");
        QFile saved(csv);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), Quorin::csvText(session, Quorin::CsvFormat::Semicolon));
        QVERIFY(!session.hasUnsavedPoints());
        QVERIFY(lab.text("status").contains(QDir::toNativeSeparators(csv)));

        // The graph, sized for a report: 16 cm by 10 cm at 300 dpi.
        const QString png = m_folder.filePath(u"grafico.png"_s);
        const auto choosePng = DialogAnswer::choose(png);
        lab.click("saveGraph");
        const QImage picture(png);
        QCOMPARE(picture.size(), QSize(1890, 1181));
        QCOMPARE(std::lround(picture.dotsPerMeterX() * 0.0254), 300);
        discard(lab);
    }

    // A disk that cannot be written (tests/lab/small-disks.sh, on Linux): the report names the
    // file and the reason, and the points stay, unsaved.
    void aFileThatCannotBeWrittenIsReported()
    {
        if (!qEnvironmentVariableIsSet("QUORIN_READONLY_DISK"))
            QSKIP("needs the small disks of tests/lab/small-disks.sh, which Linux has");
        Lab lab(m_folder.path());
        QVERIFY(lab.record(2));
        lab.click("stopRecording");
        const QString locked
            = QDir(qEnvironmentVariable("QUORIN_READONLY_DISK")).filePath(u"dati.csv"_s);
        const auto chooseLocked = DialogAnswer::choose(locked);
        const auto report = DialogAnswer::click(u"OK"_s);
        lab.click("saveData");
        QVERIFY(report->answered());
        QVERIFY2(
            report->text().startsWith(
                u"Impossibile salvare il file %1: il disco di %2 è protetto dalla scrittura."_s.arg(
                    locked, QFileInfo(locked).path())),
            qPrintable(report->text()));
        QVERIFY(lab.window.session().hasUnsavedPoints());
        discard(lab);
    }

    void closingWithUnsavedPointsAsks_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("Annulla: the window stays") << u"Annulla"_s << false;
        QTest::newRow("Esci senza salvare") << u"Esci senza salvare"_s << true;
        QTest::newRow("Salva i dati…, then the window closes") << u"Salva i dati…"_s << true;
    }

    void closingWithUnsavedPointsAsks()
    {
        QFETCH(QString, answer);
        QFETCH(bool, closed);
        Lab lab(m_folder.path());
        QVERIFY(lab.record(2)); // still recording
        const auto question = DialogAnswer::click(answer);
        const QString csv = m_folder.filePath(u"uscita.csv"_s);
        const auto file = answer.startsWith(u"Salva"_s) ? DialogAnswer::choose(csv) : nullptr;
        lab.window.close();
        QVERIFY(question->answered());
        QVERIFY2(question->text().startsWith(u"La registrazione è in corso. Salvare i dati"_s),
                 qPrintable(question->text()));
        QCOMPARE(lab.window.isVisible(), !closed);
        QCOMPARE(lab.window.session().isRecording(), !closed);
        // Closed, the session has ended: its journal is gone, nothing to offer back.
        QCOMPARE(QDir(m_folder.path()).entryList({u"*.journal"_s}).isEmpty(), closed);
        if (file)
            QVERIFY(QFile::remove(csv));
        if (!closed) {
            lab.click("stopRecording");
            discard(lab);
        }
    }

    // At every DPI from 96 to 192 (CTest runs this at both ends, Qt's own scaling off, so
    // that the layouts meet the fonts' sizes in pixels) no caption is cut, and the window fits
    // a screen of 1366 by 768 pixels at 96 dpi, and in proportion elsewhere.
    void readableAtTheScreensDpi()
    {
        Lab lab(m_folder.path());
        QVERIFY(QTest::qWaitForWindowExposed(&lab.window));
        const qreal scale = lab.window.screen()->logicalDotsPerInch() / 96;
        const QSize smallScreen(qRound(1366 * scale), qRound(768 * scale));
        QVERIFY2(lab.window.minimumSizeHint().boundedTo(smallScreen)
                     == lab.window.minimumSizeHint(),
                 qPrintable(u"%1x%2"_s.arg(lab.window.minimumSizeHint().width())
                                .arg(lab.window.minimumSizeHint().height())));
        lab.window.resize(lab.window.minimumSizeHint());
        QTest::qWait(50);
        for (QWidget *control : lab.window.findChildren<QWidget *>()) {
            // Parts of a combo box or a spin box are the parent's to lay out.
            const QWidget *parent = control->parentWidget();
            if (!control->isVisible() || qobject_cast<const QComboBox *>(parent)
                || qobject_cast<const QAbstractSpinBox *>(parent)
                || !(qobject_cast<QLabel *>(control) || qobject_cast<QAbstractButton *>(control)
                     || qobject_cast<QComboBox *>(control) || qobject_cast<QLineEdit *>(control)))
                continue;
            const QRect inWindow(control->mapTo(&lab.window, QPoint()), control->size());
            const QString what = u"%1 \"%2\" %3x%4, at least %5x%6"_s
                                     .arg(QString::fromLatin1(control->metaObject()->className()),
                                          control->property("text").toString())
                                     .arg(control->width())
                                     .arg(control->height())
                                     .arg(control->minimumSizeHint().width())
                                     .arg(control->minimumSizeHint().height());
            QVERIFY2(lab.window.rect().contains(inWindow), qPrintable(what));
            QVERIFY2(control->width() >= control->minimumSizeHint().width()
                         && control->height() >= control->minimumSizeHint().height(),
                     qPrintable(what));
        }
        discard(lab);
    }

private:
    // Ends the test's session without a question, as a user who gives its points up.
    void discard(Lab &lab)
    {
        lab.window.session().markSaved();
        lab.window.close();
        QVERIFY(Quorin::Journal::interrupted(m_folder.path()).isEmpty());
    }

    QTemporaryDir m_folder;
};

QTEST_MAIN(TestLabWindow)
#include "tst_labwindow.moc"
