#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <stdexcept>

namespace Quorin {

// A refused serial operation; the message names the device and the reason.
class SerialError : public std::runtime_error
{
public:
    explicit SerialError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    [[nodiscard]] QString message() const { return m_message; }

private:
    QString m_message;
};

// The serial port as the program uses it: six properties, and two events: bytes arrived, and a
// failure that arrives while no call is running (the device went away).
class CommPort : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // PortOpen, read and written. Opening claims the port chosen by setPortNumber() on the
    // sensor's line; opening an open port or closing a closed one does nothing. Throws
    // SerialError when refused.
    [[nodiscard]] virtual bool isOpen() const = 0;
    virtual void setOpen(bool open) = 0;

    // CommPort: which port to open; only while the port is closed.
    virtual void setPortNumber(int number) = 0;

    // Settings: "baud,parity,data bits,stop bits"; the sensor's "9600,N,8,1" is the one line
    // taken, anything else throws SerialError.
    virtual void setSettings(const QString &settings) = 0;

    // InputLen: 0, every read returns everything waiting; anything else throws SerialError.
    virtual void setReadLength(int length) = 0;

    // InBufferCount: received characters not yet read; 0 while the port is closed.
    [[nodiscard]] virtual qsizetype bytesWaiting() const = 0;

    // Input: the waiting characters, one byte each, in arrival order; empty while closed.
    [[nodiscard]] virtual QByteArray readAll() = 0;

Q_SIGNALS:
    // Bytes arrived, which bytesWaiting() now counts. The readers wait in a loop of their own
    // instead; a program that only reacts to the port listens here.
    void readyRead();

    // The open port failed on its own; it has been closed before this is emitted.
    void failed(const QString &message);
};

} // namespace Quorin
