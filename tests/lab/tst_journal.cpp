#include "journal.h"
#include "session.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A recording in `session`: runs of frames of `codes`, one sample a point, every `intervalMs`.
void record(Quorin::Session &session, qint64 fromMs, qint64 intervalMs, const QList<int> &codes)
{
    if (!session.origin().isValid())
        session.setOrigin(QDateTime(QDate(2024, 5, 6), QTime(10, 15, 30, 250)));
    session.beginRun(fromMs, intervalMs);
    qint64 at = fromMs;
    for (const int code : codes) {
        session.addSamples(at, {code});
        at += intervalMs;
    }
    session.advanceTo(at);
}

QString described(const Quorin::Point &point)
{
    return u"%1%2:%3:%4"_s.arg(point.startsLine ? u"|"_s : QString())
        .arg(point.timeMs)
        .arg(point.count)
        .arg(point.codeSum);
}

QStringList described(const Quorin::Session &session)
{
    QStringList points;
    for (const Quorin::Point &point : session.points())
        points += described(point);
    return points;
}

} // namespace

// Checks that a session written down by its journal comes back whole after the program was
// killed (the journal's object never told that the session ended), and that a journal being
// written is not offered to another instance.
class TestJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_folder.isValid()); }
    void cleanup()
    {
        for (const auto &found : Quorin::Journal::interrupted(m_folder.path()))
            Quorin::Journal::remove(found.path);
    }

    void aKilledSessionComesBack_data()
    {
        QTest::addColumn<qint64>("intervalMs");
        QTest::addColumn<bool>("cutShort");
        QTest::addColumn<bool>("saved");
        QTest::newRow("points of a tenth of a second") << qint64(100) << false << false;
        // The samples of an interval still open at the kill were written once a second.
        QTest::newRow("a minute's interval, still open") << qint64(60000) << false << false;
        QTest::newRow("a line cut short by the crash") << qint64(1000) << true << false;
        QTest::newRow("points saved before the crash") << qint64(1000) << false << true;
    }

    void aKilledSessionComesBack()
    {
        QFETCH(qint64, intervalMs);
        QFETCH(bool, cutShort);
        QFETCH(bool, saved);
        QString path;
        QStringList before;
        {
            Quorin::Session session;
            Quorin::Journal journal(session, m_folder.path());
            session.setTitle(u"Acqua; calda \"al\" 100%"_s);
            session.setUnit(u"°C"_s);
            record(session, 0, 100, {200, 201, 202});
            session.endRun(300);
            if (saved)
                session.markSaved();
            session.beginRun(5000, intervalMs);
            session.addSamples(5000, {210});
            session.addSamples(5000 + intervalMs / 2, {211});
            if (intervalMs > Quorin::Journal::SyncIntervalMs) // still open: its samples so far
                QTRY_VERIFY_WITH_TIMEOUT(journalHas(journal.path(), "open 5000 2 421"), 10000);
            else
                session.advanceTo(5000 + intervalMs);
            path = journal.path();
            before = described(session);
            if (const auto open = session.openPoint())
                before += described(*open);
            // The journal's object goes without discard(): the program was killed.
        }
        if (cutShort) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("point 9000 4 8");
        }

        const auto found = Quorin::Journal::interrupted(m_folder.path());
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].path, path);
        QCOMPARE(found[0].points, before.size());
        QCOMPARE(found[0].unsaved, saved ? before.size() - 3 : before.size());
        QCOMPARE(found[0].origin, QDateTime(QDate(2024, 5, 6), QTime(10, 15, 30, 250)));

        Quorin::Session session;
        Quorin::Journal journal(session, m_folder.path());
        QVERIFY(journal.resume(path));
        QCOMPARE(described(session), before);
        QCOMPARE(session.title(), u"Acqua; calda \"al\" 100%"_s);
        QCOMPARE(session.unit(), u"°C"_s);
        QCOMPARE(session.origin(), found[0].origin);
        QCOMPARE(session.savedPoints(), saved ? 3 : 0);
        QCOMPARE(journal.lastIntervalMs(), intervalMs);

        // Taken by this instance, the journal is offered to no other; written on, it comes back
        // with what came after.
        QVERIFY(Quorin::Journal::interrupted(m_folder.path()).isEmpty());
        record(session, 200000, 1000, {220});
        session.endRun(201000);
        const QStringList after = described(session);
        QCOMPARE(after.size(), before.size() + 1);
        QCOMPARE(after.constLast(), u"|200000:1:220"_s);
        journal.discard();
        QVERIFY(!QFile::exists(path));
    }

    void aFailingJournalIsReportedOnceAndTheSessionGoesOn()
    {
        // A folder that cannot be made: its parent is a file.
        QFile blocker(m_folder.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        Quorin::Session session;
        Quorin::Journal journal(session, blocker.fileName() + u"/Quorinlab"_s);
        QSignalSpy failures(&journal, &Quorin::Journal::failed);
        record(session, 0, 100, {10, 20});
        session.endRun(200);
        record(session, 1000, 100, {30});
        session.endRun(1100);
        QCOMPARE(failures.size(), 1);
        const QString message = failures[0][0].toString();
        QVERIFY2(message.startsWith(u"Impossibile scrivere il giornale della registrazione "_s)
                     && message.contains(u"Quorinlab"_s) && message.contains(u"non esiste"_s),
                 qPrintable(message));
        QCOMPARE(session.points().size(), std::size_t(3));
    }

private:
    static bool journalHas(const QString &path, const QByteArray &line)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(line);
    }

    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
