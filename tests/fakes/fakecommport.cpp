#include "fakecommport.h"

#include <utility>

void FakeCommPort::perform(const QString &entry)
{
    if (m_refused.contains(entry))
        throw Quorin::SerialError(QStringLiteral("Fake serial port refuses %1.").arg(entry));
    m_log.append(entry);
}

void FakeCommPort::setOpen(bool open)
{
    perform(open ? QStringLiteral("PortOpen=True") : QStringLiteral("PortOpen=False"));
    m_open = open;
    m_waiting.clear();
}

void FakeCommPort::setReadLength(int length)
{
    perform(QStringLiteral("InputLen=%1").arg(length));
}

QByteArray FakeCommPort::readAll()
{
    m_log.append(QStringLiteral("Input:%1").arg(m_waiting.size()));
    return std::exchange(m_waiting, {});
}

void FakeCommPort::arrive(const QByteArray &bytes)
{
    if (m_open)
        m_waiting += bytes;
}

void FakeCommPort::logLamp(const Quorin::StatusLamp *lamp)
{
    connect(lamp, &Quorin::StatusLamp::stateChanged, this, [this](Quorin::LampState state) {
        m_log.append(state == Quorin::LampState::Lit ? QStringLiteral("Lamp=Lit")
                                                     : QStringLiteral("Lamp=Unlit"));
    });
}

QList<qsizetype> FakeCommPort::readSizes() const
{
    QList<qsizetype> sizes;
    for (const QString &entry : m_log.filter(QStringLiteral("Input:")))
        sizes.append(entry.mid(6).toLongLong());
    return sizes;
}

QByteArray bytes(std::initializer_list<int> codes, int fill, char filler)
{
    QByteArray text;
    for (const int code : codes)
        text += static_cast<char>(code);
    return text + QByteArray(fill, filler);
}

QStringList entries(const char *spaced)
{
    return QString::fromLatin1(spaced).split(u' ', Qt::SkipEmptyParts);
}
