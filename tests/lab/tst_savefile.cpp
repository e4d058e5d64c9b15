#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

// Checks that a file the user saves is written whole or not at all, and that a failure says, in
// Italian, which file and why: on the small disks of tests/lab/small-disks.sh.
class TestSaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("QUORIN_SMALL_DISK"),
                 "runs in tests/lab/small-disks.sh, see tests/lab/CMakeLists.txt");
    }

    void aFailureNamesTheFileAndTheReason_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("reason"); // %1: the disk's folder
        QTest::addColumn<QString>("remedy");
        const QString elsewhere = u"salvare in un'altra cartella, per esempio Documenti"_s;
        QTest::newRow("a full disk")
            << u"QUORIN_SMALL_DISK"_s << u"dati.csv"_s << 200'000 << u"il disco di %1 è pieno."_s
            << u"liberare spazio o salvare su un altro disco"_s;
        QTest::newRow("a disk that cannot be written")
            << u"QUORIN_READONLY_DISK"_s << u"dati.csv"_s << 10
            << u"il disco di %1 è protetto dalla scrittura."_s << elsewhere;
        QTest::newRow("a folder that is gone")
            << u"QUORIN_SMALL_DISK"_s << u"tolta/dati.csv"_s << 10
            << u"la cartella %1/tolta non esiste."_s << elsewhere;
    }

    void aFailureNamesTheFileAndTheReason()
    {
        QFETCH(QString, disk);
        QFETCH(QString, name);
        QFETCH(int, bytes);
        QFETCH(QString, reason);
        QFETCH(QString, remedy);
        const QString folder = qEnvironmentVariable(disk.toLatin1().constData());
        const QString path = QDir(folder).filePath(name);
        const auto failure = Quorin::saveWhole(path, QByteArray(bytes, 'x'));
        QVERIFY(failure.has_value());
        QVERIFY2(failure->startsWith(u"Impossibile salvare il file %1: "_s.arg(path))
                     && failure->contains(reason.arg(folder))
                     && failure->endsWith(u"Per non perdere i dati, %1: i dati restano nel "
                                          "programma."_s.arg(remedy)),
                 qPrintable(*failure));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void aFileInPlaceStaysWholeWhenTheNewOneDoesNotFit()
    {
        const QString path = QDir(qEnvironmentVariable("QUORIN_SMALL_DISK")).filePath(u"d.csv"_s);
        QCOMPARE(Quorin::saveWhole(path, "prima"), std::nullopt);
        QVERIFY(Quorin::saveWhole(path, QByteArray(200'000, 'x')).has_value());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "prima");
        QVERIFY(file.remove());
    }
};

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
