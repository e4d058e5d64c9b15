#include "savefile.h"

#include "portreport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

// Less room than a file needs and this much more is a full disk.
constexpr qint64 FullDiskBytes = qint64(64) * 1024;

} // namespace

WriteFailure explainWriteFailure(const QString &path, const QString &systemWords, qint64 bytes)
{
    const QFileInfo file(path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    const QFileInfo folderInfo(file.absolutePath());
    const QString elsewhere = u"salvare in un'altra cartella, per esempio Documenti"_s;
    if (!folderInfo.isDir())
        return {u"la cartella %1 non esiste"_s.arg(folder), elsewhere};
    const QStorageInfo storage(file.absolutePath());
    if (storage.isValid() && storage.isReadOnly())
        return {u"il disco di %1 è protetto dalla scrittura"_s.arg(folder), elsewhere};
    if (storage.isValid() && storage.bytesAvailable() < bytes + FullDiskBytes)
        return {u"il disco di %1 è pieno"_s.arg(folder),
                u"liberare spazio o salvare su un altro disco"_s};
    if (!folderInfo.isWritable() || (file.exists() && !file.isWritable()))
        return {u"non si ha il permesso di scrivere in %1"_s.arg(
                    file.exists() ? QDir::toNativeSeparators(file.absoluteFilePath()) : folder),
                elsewhere};
    return {u"il sistema risponde %1"_s.arg(quotedSystemWords(systemWords)), elsewhere};
}

std::optional<QString> saveWhole(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && write(file) && file.commit())
        return std::nullopt;
    // What was written when it failed: on a full disk, the room there was.
    const WriteFailure failure = explainWriteFailure(path, file.errorString(), file.pos());
    file.cancelWriting();
    return u"Impossibile salvare il file %1: %2. Per non perdere i dati, %3: i dati restano nel "
           "programma."_s.arg(QDir::toNativeSeparators(path), failure.reason, failure.remedy);
}

std::optional<QString> saveWhole(const QString &path, const QByteArray &contents)
{
    return saveWhole(
        path, [&contents](QIODevice &file) { return file.write(contents) == contents.size(); });
}

} // namespace Quorin
