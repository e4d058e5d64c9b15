#include "portreport.h"

#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace Quorin {

using namespace Qt::StringLiterals;

namespace {

// A report names this many ports at most: enough for a PC's adapters and on-board lines.
constexpr qsizetype MostPortsNamed = 4;
// A device describes itself in its own words; a longer description is cut.
constexpr qsizetype LongestDescription = 60;

// The port as the report names it: its name, then what the system says it is.
QString named(const SystemPort &port)
{
    // A device's description comes from the device itself: keep it to one plain line.
    QString description;
    for (const QChar c : port.description)
        description += c.isPrint() ? c : QChar(u' ');
    description = description.simplified().left(LongestDescription);
    return description.isEmpty() ? port.name : u"%1 (%2)"_s.arg(port.name, description);
}

QString listed(const QList<SystemPort> &ports)
{
    QStringList names;
    for (const SystemPort &port : ports.first(std::min(ports.size(), MostPortsNamed)))
        names += named(port);
    QString list = names.join(u", "_s);
    const qsizetype more = ports.size() - names.size();
    if (more == 1)
        list += u" e un'altra"_s;
    else if (more > 1)
        list += u" e altre %1"_s.arg(more);
    return list;
}

// The one step that gives the sensor's port the number, for one port or for one of several.
QString numberingStep(int number, const QList<SystemPort> &ports)
{
#ifdef Q_OS_WIN
    Q_UNUSED(ports);
    // Device Manager's own words on Italian Windows.
    return u"in Gestione dispositivi aprire Porte (COM e LPT), poi le Proprietà del dispositivo, "
           "Impostazioni della porta, Avanzate, e scegliere COM%1 come Numero porta COM"_s.arg(
               number);
#else
    // quorin-port3 gives a serial line the name of port 3, /dev/com3; other numbers have no
    // command of their own.
    if (number != 3)
        return {};
    const QString command = u"sudo quorin-port3 %1"_s.arg(ports.front().name);
    if (ports.size() == 1)
        return u"eseguire \"%1\""_s.arg(command);
    return u"eseguire \"sudo quorin-port3\" seguito dal suo dispositivo, per esempio \"%1\""_s.arg(
        command);
#endif
}

} // namespace

QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString name = info.portName();
#else
        const QString name = info.systemLocation();
#endif
        ports.append(
            {name, info.description().isEmpty() ? info.manufacturer() : info.description()});
    }
    return ports;
}

QString missingPortAdvice(int number, const QList<SystemPort> &all)
{
    if (all.isEmpty())
        return u"Al PC non è collegata alcuna porta seriale: collegare il sensore e avviare di "
               "nuovo il programma."_s;
    // Adapters describe themselves and are most likely the sensor's: they come first.
    QList<SystemPort> ports = all;
    std::stable_partition(ports.begin(), ports.end(),
                          [](const SystemPort &port) { return !port.description.isEmpty(); });
    const QString step = numberingStep(number, ports);
    const QString there = ports.size() == 1 ? u"Il PC ha la porta seriale %1"_s.arg(listed(ports))
                                            : u"Il PC ha le porte seriali %1"_s.arg(listed(ports));
    if (step.isEmpty())
        return there + u'.';
    const QString which = ports.size() == 1
        ? u"per darle il numero %1"_s.arg(number)
        : u"per dare il numero %1 a quella del sensore"_s.arg(number);
    return u"%1: %2, %3."_s.arg(there, which, step);
}

QString quotedSystemWords(const QString &words)
{
    QString said = words.trimmed();
    while (said.endsWith(u'.'))
        said.chop(1);
    return u"\"%1\""_s.arg(said);
}

} // namespace Quorin
