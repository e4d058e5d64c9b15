#pragma once

#include "pty.h"

#include <QByteArray>
#include <QString>

#include <unistd.h>

// The tools' pseudo-terminal pair standing in for a serial line: the test writes into the master,
// the port opens the slave by its path. The test holds the slave too, so that the line's settings
// and input queue stay readable.
struct Pty : Quorin::PtyPair
{
    [[nodiscard]] bool write(const QByteArray &bytes) const
    {
        return ::write(master(), bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    const QString path = QString::fromLocal8Bit(slaveName());
};
