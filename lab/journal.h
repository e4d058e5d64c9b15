#pragma once

#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace Quorin {

class Session;
struct Point;

// The session written down as it is recorded, so that a crash, a killed process or a power cut
// loses at most the last second: an append-only file in the user's data folder, written as each
// point closes, with the samples of a longer interval so far and a sync to the disk once a
// second. It goes when the session ends with nothing left unsaved; a session that was interrupted
// leaves it behind, for the next start to offer back. A lock beside it tells other instances
// of the program that it is being written.
class Journal : public QObject
{
    Q_OBJECT

public:
    // How often the samples so far go to the file, and the file to the disk.
    static constexpr int SyncIntervalMs = 1000;

    // What an interrupted journal holds.
    struct Summary
    {
        QString path;
        QDateTime origin;
        QString title;
        qsizetype points = 0;
        qsizetype unsaved = 0;
    };

    // Writes `session` into a new journal in `folder` from its first run on.
    Journal(Session &session, QString folder, QObject *parent = nullptr);
    ~Journal() override;

    // The journals in `folder` that no running instance writes, newest first.
    [[nodiscard]] static QList<Summary> interrupted(const QString &folder);
    // Puts an interrupted journal's session into the empty session and goes on writing that
    // journal. False, changing nothing, when another instance took it meanwhile or it cannot be
    // read.
    bool resume(const QString &path);
    // Removes an interrupted journal that the user gave up.
    static void remove(const QString &path);
    // The interval of the last run in the journal being written, 0 before any.
    [[nodiscard]] qint64 lastIntervalMs() const { return m_lastIntervalMs; }

    // Removes this session's journal: the session ends or starts anew with nothing unsaved, or
    // the user gave it up. A new run begins a new journal.
    void discard();
    [[nodiscard]] QString path() const { return m_file.fileName(); }

Q_SIGNALS:
    // The journal cannot be written; said once for each journal. The session goes on in memory.
    void failed(const QString &message);

private:
    void onRunChanged(bool recording);
    void onPointAdded(qsizetype index);
    void onSync();
    bool create();
    void writeLabels();
    void writeLine(const QByteArray &line);
    void reportFailure();
    [[nodiscard]] static QByteArray pointLine(const char *tag, const Point &point);

    Session &m_session;
    QString m_folder;
    QFile m_file;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_sync;
    QByteArray m_openWritten; // the last line of the open interval's samples
    qint64 m_lastIntervalMs = 0;
    bool m_unsynced = false;
    bool m_failed = false;
};

} // namespace Quorin
