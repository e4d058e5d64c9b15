#pragma once

#include <QList>
#include <QString>

namespace Quorin {

// A serial port the system has: its name ("COM4", "/dev/ttyUSB0") and what the system says it
// is ("USB-SERIAL CH340"), which may be nothing.
struct SystemPort
{
    QString name;
    QString description;
};

// The serial ports the system has now, as it lists them.
[[nodiscard]] QList<SystemPort> systemPorts();

// What a report says when serial port `number` does not exist: the serial ports the system has,
// a few at most, and the one step that gives the sensor's port that number; with none, to
// connect the sensor.
[[nodiscard]] QString missingPortAdvice(int number, const QList<SystemPort> &ports);

// The system's own words for a failure, in quotes and without their full stop, to follow an
// Italian reason: Accesso negato. becomes "Accesso negato".
[[nodiscard]] QString quotedSystemWords(const QString &words);

} // namespace Quorin
