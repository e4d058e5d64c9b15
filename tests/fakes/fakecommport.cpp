#include "fakecommport.h"

#include <utility>

void FakeCommPort::perform(const QString &entry)
{
    if (m_refused.contains(entry))
        throw Quorin::SerialError(QStringLiteral("Fake serial port refuses %1.").arg(entry));
    append(entry);
}

void FakeCommPort::append(const QString &entry)
{
    if (const QString lamp = lampChange(); !lamp.isEmpty()) {
        m_log.append(lamp);
        m_lampLogged = m_lamp->state();
    }
    m_log.append(entry);
}

QString FakeCommPort::lampChange() const
{
    if (!m_lamp || m_lamp->state() == m_lampLogged)
        return {};
    return m_lamp->state() == Quorin::LampState::Lit ? QStringLiteral("Lamp=Lit")
                                                     : QStringLiteral("Lamp=Unlit");
}

QStringList FakeCommPort::log() const
{
    const QString lamp = lampChange();
    return lamp.isEmpty() ? m_log : m_log + QStringList{lamp};
}

void FakeCommPort::clearLog()
{
    m_log.clear();
    if (m_lamp)
        m_lampLogged = m_lamp->state();
}

void FakeCommPort::setOpen(bool open)
{
    perform(open ? QStringLiteral("PortOpen=True") : QStringLiteral("PortOpen=False"));
    m_open = open;
    m_waiting.clear();
}

void FakeCommPort::arrive(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_waiting += bytes;
    Q_EMIT readyRead();
}

QByteArray FakeCommPort::readAll()
{
    append(QStringLiteral("Input:%1").arg(m_waiting.size()));
    return std::exchange(m_waiting, {});
}

void FakeCommPort::logLamp(const Quorin::StatusLamp *lamp)
{
    m_lamp = lamp;
    m_lampLogged = lamp->state();
}

QList<qsizetype> FakeCommPort::readSizes() const
{
    QList<qsizetype> sizes;
    for (const QString &entry : m_log.filter(QStringLiteral("Input:")))
        sizes.append(entry.mid(6).toLongLong());
    return sizes;
}

QStringList entries(const char *spaced)
{
    return QString::fromLatin1(spaced).split(u' ', Qt::SkipEmptyParts);
}
