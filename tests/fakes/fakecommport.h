#pragma once

#include "commport.h"
#include "statuslamp.h"
#include "testbytes.h"

#include <QSet>
#include <QStringList>

// A serial port that logs every operation in order ("PortOpen=True", "CommPort=3",
// "Settings=9600,N,8,1", "InputLen=0", "Input:12" for a read of 12 bytes), refuses what it is
// told to refuse, and receives what the test sends.
class FakeCommPort final : public Quorin::CommPort
{
    Q_OBJECT

public:
    using CommPort::CommPort;

    [[nodiscard]] bool isOpen() const override { return m_open; }
    void setOpen(bool open) override;
    void setPortNumber(int n) override { perform(QStringLiteral("CommPort=%1").arg(n)); }
    void setSettings(const QString &text) override { perform(QStringLiteral("Settings=") + text); }
    void setReadLength(int length) override { perform(QStringLiteral("InputLen=%1").arg(length)); }
    [[nodiscard]] qsizetype bytesWaiting() const override { return m_waiting.size(); }
    [[nodiscard]] QByteArray readAll() override;

    // Bytes from the line; lost while the port is closed, as on a real port.
    void arrive(const QByteArray &bytes);
    // The operation logged as `entry` throws SerialError from now on, changing nothing.
    void refuse(const QString &entry) { m_refused.insert(entry); }
    // Logs the lamp's changes too ("Lamp=Lit", "Lamp=Unlit"), as each operation and each look
    // at the log finds the lamp, to check their order against the port's.
    void logLamp(const Quorin::StatusLamp *lamp);

    [[nodiscard]] QStringList log() const;
    void clearLog();
    // The sizes of the reads so far, from the log's "Input:n" entries.
    [[nodiscard]] QList<qsizetype> readSizes() const;

private:
    void perform(const QString &entry);
    void append(const QString &entry);
    [[nodiscard]] QString lampChange() const;

    QStringList m_log;
    QSet<QString> m_refused;
    QByteArray m_waiting; // always empty while closed
    const Quorin::StatusLamp *m_lamp = nullptr;
    Quorin::LampState m_lampLogged = Quorin::LampState::Lit;
    bool m_open = false;
};

// Log entries written as one line: entries("CommPort=3 PortOpen=True").
QStringList entries(const char *spaced);
