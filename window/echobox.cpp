#include "echobox.h"

#include "echotext.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace Quorin {

EchoBox::EchoBox(QWidget *parent)
    : PacedBox(parent)
{
    setAccessibleDescription(
        u"Byte ricevuti, dal più recente; qui i codici degli ultimi %1"_s.arg(SpokenBytes));
}

void EchoBox::prepend(const QString &received)
{
    writeText((received + text()).left(Capacity), 0);
}

QString EchoBox::spokenText() const
{
    QStringList codes;
    for (const char byte : echoBytes(QStringView(text()).left(SpokenBytes)))
        codes += QString::number(static_cast<unsigned char>(byte));
    return codes.join(u' ');
}

int EchoBox::spokenOffset(int position) const
{
    const QString spoken = spokenText();
    qsizetype offset = 0;
    for (int code = 0; code < position; ++code) {
        offset = spoken.indexOf(u' ', offset);
        if (offset < 0)
            return int(spoken.size());
        ++offset;
    }
    return int(offset);
}

int EchoBox::boxPosition(int spokenOffset) const
{
    // The characters whose codes end at the offset or before it.
    const QString spoken = spokenText();
    int position = 0;
    for (qsizetype start = 0; start < spoken.size(); ++position) {
        qsizetype end = spoken.indexOf(u' ', start);
        if (end < 0)
            end = spoken.size();
        if (end > spokenOffset)
            break;
        start = end + 1;
    }
    return position;
}

} // namespace Quorin
