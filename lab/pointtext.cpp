#include "pointtext.h"

#include "session.h"

#include <QBuffer>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <tuple>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

// A point's time always falls on a tenth of a second; its mean is finer than one sample, whose
// value shows with one decimal as in the readers.
constexpr int TimeDecimals = 1;
constexpr int MeanDecimals = 2;
constexpr int SampleDecimals = 1;

QString decimal(double value, int decimals, QChar separator)
{
    QString text = QString::number(value, 'f', decimals);
    if (separator != u'.')
        text.replace(u'.', separator);
    return text;
}

// A field in quotes where it holds a character that separates fields in either format, or in
// what Calc splits at by default (',', ';' and the tab all at once): so a decimal comma never
// splits a number in two, and Calc and Excel still read the number in the quotes as a number.
QString quotedField(const QString &field)
{
    static const QString special = u",;\t\"\r\n"_s;
    if (std::none_of(field.begin(), field.end(), [](QChar c) { return special.contains(c); }))
        return field;
    return u'"' + QString(field).replace(u"\""_s, u"\"\""_s) + u'"';
}

// The table's rows as text, handed to `take` a block of rows at a time, so that a day's points
// never sit in memory as text whole; stops when `take` says false. The date and time are the
// same for the points of one second: they are written once.
bool writeRows(const Session &session, QChar fieldSeparator, QChar decimalSeparator, bool quoted,
               const QString &lineEnd, const std::function<bool(const QString &)> &take)
{
    constexpr qsizetype BlockChars = qsizetype(64) * 1024;
    const auto field = [&](const QString &text) { return quoted ? quotedField(text) : text; };
    QString text;
    text.reserve(BlockChars + 1024);
    for (int column = 0; column < ColumnCount; ++column) {
        if (column > 0)
            text += fieldSeparator;
        text += field(columnHeader(session, Column(column)));
    }
    text += lineEnd;
    const qint64 origin = session.origin().toMSecsSinceEpoch();
    qint64 second = -1;
    QString dateTime;
    for (const Point &point : session.points()) {
        for (int column = 0; column < int(Column::DateTime); ++column) {
            text += field(cellText(session, point, Column(column), decimalSeparator));
            text += fieldSeparator;
        }
        // The second on the clock, which the session's axis need not start on.
        if (const qint64 now = (origin + point.timeMs) / 1000; now != second) {
            second = now;
            dateTime = field(cellText(session, point, Column::DateTime, decimalSeparator));
        }
        text += dateTime;
        text += lineEnd;
        if (text.size() >= BlockChars) {
            if (!take(text))
                return false;
            text.clear();
        }
    }
    return take(text);
}

} // namespace

QString meanText(double value, QChar decimalSeparator)
{
    return decimal(value, MeanDecimals, decimalSeparator);
}

QChar decimalSeparatorFor(const QLocale &locale)
{
    return locale.decimalPoint() == u","_s ? u',' : u'.';
}

QString columnHeader(const Session &session, Column column, Heading heading)
{
    const QString unit = session.unit().simplified();
    const auto withUnit = [](const QString &name, const QString &unit) {
        return unit.isEmpty() ? name : u"%1 (%2)"_s.arg(name, unit);
    };
    switch (column) {
    case Column::Time:
        return u"Tempo (s)"_s;
    case Column::Value: {
        const QString title = heading == Heading::Titled ? session.title().simplified() : QString();
        return withUnit(title.isEmpty() ? u"Valore"_s : title, unit);
    }
    case Column::Samples:
        return u"Campioni"_s;
    case Column::Minimum:
        return u"Minimo"_s;
    case Column::Maximum:
        return u"Massimo"_s;
    case Column::DateTime:
        return u"Data e ora"_s;
    }
    return {};
}

QString cellText(const Session &session, const Point &point, Column column, QChar decimalSeparator)
{
    constexpr double MsPerSecond = 1000.0;
    switch (column) {
    case Column::Time:
        return decimal(double(point.timeMs) / MsPerSecond, TimeDecimals, decimalSeparator);
    case Column::Value:
        return meanText(point.value(), decimalSeparator);
    case Column::Samples:
        return QString::number(point.count);
    case Column::Minimum:
        return decimal(point.minimum(), SampleDecimals, decimalSeparator);
    case Column::Maximum:
        return decimal(point.maximum(), SampleDecimals, decimalSeparator);
    case Column::DateTime:
        return session.origin()
            .addMSecs(point.timeMs)
            .toString(decimalSeparator == u',' ? u"dd/MM/yyyy HH:mm:ss"_s
                                               : u"yyyy-MM-dd HH:mm:ss"_s);
    }
    return {};
}

CsvFormat csvFormatFor(const QLocale &locale)
{
    return decimalSeparatorFor(locale) == u',' ? CsvFormat::Semicolon : CsvFormat::Comma;
}

bool writeCsv(const Session &session, CsvFormat format, QIODevice &file)
{
    const bool semicolon = format == CsvFormat::Semicolon;
    const QByteArray byteOrderMark("\xEF\xBB\xBF");
    if (file.write(byteOrderMark) != byteOrderMark.size())
        return false;
    return writeRows(session, semicolon ? u';' : u',', semicolon ? u',' : u'.', true, u"\r\n"_s,
                     [&file](const QString &rows) {
                         const QByteArray bytes = rows.toUtf8();
                         return file.write(bytes) == bytes.size();
                     });
}

QByteArray csvText(const Session &session, CsvFormat format)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    std::ignore = writeCsv(session, format, buffer); // memory takes it all
    return text;
}

QString tabText(const Session &session, QChar decimalSeparator)
{
    // The heading's title and unit are simplified: no tab or line end can break its row.
    QString text;
    writeRows(session, u'\t', decimalSeparator, false, u"\n"_s, [&text](const QString &rows) {
        text += rows;
        return true;
    });
    return text;
}

} // namespace Quorin
