#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace Quorin {

// Why a file could not be written, in words a user can act on: the folder is missing or not
// theirs to write, the disk is read-only or full; otherwise the system's own words. And the one
// thing to do about it when the user chose where the file goes.
struct WriteFailure
{
    QString reason;
    QString remedy;
};
// `bytes` is what the file was to hold.
[[nodiscard]] WriteFailure explainWriteFailure(const QString &path, const QString &systemWords,
                                               qint64 bytes = 0);

// Writes a file whole or not at all, through `write`, which says whether the file took all it
// wrote: a file already there stays as it was unless the new one is complete. The report of a
// failure, in Italian, names the file and the reason; nothing when the file was written.
[[nodiscard]] std::optional<QString> saveWhole(const QString &path,
                                               const std::function<bool(QIODevice &)> &write);
[[nodiscard]] std::optional<QString> saveWhole(const QString &path, const QByteArray &contents);

} // namespace Quorin
