#include "journal.h"

#include "savefile.h"
#include "session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

constexpr char Signature[] = "quorinlab-journal";
constexpr int FormatVersion = 1;
const auto Suffix = u".journal"_s;
const auto LockSuffix = u".lock"_s;

// Makes what was written survive a power cut.
void syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle())));
#else
    ::fdatasync(file.handle());
#endif
}

QByteArray encoded(const QString &text)
{
    return QUrl::toPercentEncoding(text);
}

QString decoded(const QByteArray &text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
}

// A point's fields as a line holds them: time, count, sum, lowest, highest, starts a line.
std::optional<Point> parsePoint(const QList<QByteArray> &fields)
{
    if (fields.size() != 7)
        return std::nullopt;
    bool ok[6] = {};
    const Point point{fields[1].toLongLong(&ok[0]),     fields[3].toLongLong(&ok[1]),
                      fields[2].toInt(&ok[2]),          quint8(fields[4].toUInt(&ok[3])),
                      quint8(fields[5].toUInt(&ok[4])), fields[6].toInt(&ok[5]) != 0};
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) || point.count <= 0)
        return std::nullopt;
    return point;
}

// The journal read back: its session's points, labels and origin, and the samples of the
// interval that was open, if any.
struct Contents
{
    QDateTime origin;
    QString title;
    QString unit;
    std::vector<Point> points;
    std::optional<Point> open;
    qsizetype saved = 0;
    qint64 lastIntervalMs = 0;
};

// Reads a journal; a line cut short by a crash, or any other line it cannot read, is left out.
std::optional<Contents> readJournal(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> header = file.readLine().trimmed().split(' ');
    if (header.size() != 3 || header[0] != Signature || header[1].toInt() != FormatVersion)
        return std::nullopt;
    Contents contents;
    // Room for every point at once: most of a journal is its points, about 30 bytes a line.
    constexpr qint64 PointLineBytes = 30;
    contents.points.reserve(std::size_t(file.size() / PointLineBytes));
    contents.origin
        = QDateTime::fromString(QString::fromLatin1(header[2]), Qt::ISODateWithMs).toLocalTime();
    if (!contents.origin.isValid())
        return std::nullopt;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break; // cut short
        const QList<QByteArray> fields = line.trimmed().split(' ');
        const QByteArray &tag = fields[0];
        if (tag == "point") {
            if (const auto point = parsePoint(fields)) {
                contents.points.push_back(*point);
                if (contents.open && point->timeMs >= contents.open->timeMs)
                    contents.open.reset();
            }
        } else if (tag == "open") {
            if (const auto point = parsePoint(fields))
                contents.open = point;
        } else if (tag == "title" && fields.size() <= 2) {
            contents.title = decoded(fields.value(1));
        } else if (tag == "unit" && fields.size() <= 2) {
            contents.unit = decoded(fields.value(1));
        } else if (tag == "saved" && fields.size() == 2) {
            contents.saved = fields[1].toLongLong();
        } else if (tag == "run" && fields.size() == 3) {
            contents.lastIntervalMs = fields[2].toLongLong();
        }
    }
    return contents;
}

} // namespace

Journal::Journal(Session &session, QString folder, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_folder(std::move(folder))
{
    m_sync.setInterval(SyncIntervalMs);
    connect(&m_sync, &QTimer::timeout, this, &Journal::onSync);
    connect(&session, &Session::runChanged, this, &Journal::onRunChanged);
    connect(&session, &Session::pointAdded, this, &Journal::onPointAdded);
    connect(&session, &Session::labelsChanged, this, &Journal::writeLabels);
    connect(&session, &Session::saved, this,
            [this](qsizetype points) { writeLine("saved " + QByteArray::number(points)); });
    connect(&session, &Session::cleared, this, &Journal::discard);
}

Journal::~Journal()
{
    if (m_file.isOpen()) {
        m_file.flush();
        syncToDisk(m_file);
    }
}

QList<Journal::Summary> Journal::interrupted(const QString &folder)
{
    QList<Summary> found;
    const QFileInfoList files
        = QDir(folder).entryInfoList({u"*"_s + Suffix}, QDir::Files, QDir::Time);
    for (const QFileInfo &file : files) {
        QLockFile lock(file.filePath() + LockSuffix);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue; // an instance of the program is writing it
        if (const auto contents = readJournal(file.filePath())) {
            const auto points = qsizetype(contents->points.size()) + (contents->open ? 1 : 0);
            found.append({file.filePath(), contents->origin, contents->title, points,
                          std::max<qsizetype>(points - contents->saved, 0)});
        } else {
            found.append({file.filePath(), {}, {}, 0, 0});
        }
    }
    return found;
}

bool Journal::resume(const QString &path)
{
    if (m_file.isOpen() || !m_session.isEmpty())
        return false;
    auto lock = std::make_unique<QLockFile>(path + LockSuffix);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    auto contents = readJournal(path);
    if (!contents)
        return false;
    m_session.setOrigin(contents->origin);
    m_session.setTitle(contents->title);
    m_session.setUnit(contents->unit);
    // The samples of the interval that was open are a point now.
    if (contents->open)
        contents->points.push_back(*contents->open);
    m_session.restore(std::move(contents->points));
    m_lastIntervalMs = contents->lastIntervalMs;
    m_file.setFileName(path);
    m_lock = std::move(lock);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        reportFailure();
    } else {
        // A line cut short by the crash ends here, so that the lines to come start afresh.
        if (m_file.size() > 0)
            writeLine({});
        m_sync.start();
    }
    if (contents->open)
        writeLine(pointLine("point", *contents->open));
    m_session.setSavedPoints(contents->saved);
    return true;
}

void Journal::remove(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + LockSuffix);
}

void Journal::discard()
{
    m_sync.stop();
    if (!m_file.fileName().isEmpty()) {
        m_file.close();
        QFile::remove(m_file.fileName());
        m_file.setFileName({});
    }
    m_lock.reset();
    m_openWritten.clear();
    m_failed = false;
}

bool Journal::create()
{
    if (!QDir().mkpath(m_folder)) {
        m_file.setFileName(QDir(m_folder).filePath(u"sessione"_s + Suffix));
        reportFailure();
        return false;
    }
    const QString name
        = u"sessione-%1-%2%3"_s.arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss-zzz"_s),
                                    QString::number(QCoreApplication::applicationPid()), Suffix);
    m_file.setFileName(QDir(m_folder).filePath(name));
    m_lock = std::make_unique<QLockFile>(m_file.fileName() + LockSuffix);
    if (!m_lock->tryLock(0) || !m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        reportFailure();
        return false;
    }
    writeLine(QByteArray(Signature) + ' ' + QByteArray::number(FormatVersion) + ' '
              + m_session.origin().toUTC().toString(Qt::ISODateWithMs).toLatin1());
    writeLabels();
    m_sync.start();
    return true;
}

void Journal::writeLabels()
{
    writeLine("title " + encoded(m_session.title()));
    writeLine("unit " + encoded(m_session.unit()));
}

void Journal::onRunChanged(bool recording)
{
    if (!recording) {
        onSync();
        return;
    }
    if (!m_file.isOpen() && !m_failed && !create())
        return;
    m_lastIntervalMs = m_session.intervalMs();
    writeLine("run " + QByteArray::number(m_session.runStartMs()) + ' '
              + QByteArray::number(m_session.intervalMs()));
}

void Journal::onPointAdded(qsizetype index)
{
    writeLine(pointLine("point", m_session.points()[std::size_t(index)]));
    m_openWritten.clear();
}

QByteArray Journal::pointLine(const char *tag, const Point &point)
{
    return QByteArray(tag) + ' ' + QByteArray::number(point.timeMs) + ' '
        + QByteArray::number(point.count) + ' ' + QByteArray::number(point.codeSum) + ' '
        + QByteArray::number(point.minCode) + ' ' + QByteArray::number(point.maxCode) + ' '
        + (point.startsLine ? '1' : '0');
}

void Journal::onSync()
{
    // Intervals of a second or less close at least once a second by themselves.
    if (m_session.intervalMs() > SyncIntervalMs) {
        if (const auto open = m_session.openPoint()) {
            const QByteArray line = pointLine("open", *open);
            if (line != m_openWritten) {
                writeLine(line);
                m_openWritten = line;
            }
        }
    }
    if (m_unsynced && m_file.isOpen() && !m_failed) {
        syncToDisk(m_file);
        m_unsynced = false;
    }
}

void Journal::writeLine(const QByteArray &line)
{
    if (!m_file.isOpen() || m_failed)
        return;
    const QByteArray written = line + '\n';
    // Handed to the system at once, so that a killed process loses nothing written here.
    if (m_file.write(written) != written.size() || !m_file.flush()) {
        reportFailure();
        return;
    }
    m_unsynced = true;
}

void Journal::reportFailure()
{
    if (m_failed)
        return;
    m_failed = true;
    const WriteFailure failure = explainWriteFailure(m_file.fileName(), m_file.errorString());
    Q_EMIT failed(u"Impossibile scrivere il giornale della registrazione %1: %2. La registrazione "
                  "continua, ma se il programma si interrompe i punti non ancora salvati vanno "
                  "persi: salvarli con \"Salva i dati…\"."_s.arg(
                      QDir::toNativeSeparators(m_file.fileName()), failure.reason));
}

} // namespace Quorin
