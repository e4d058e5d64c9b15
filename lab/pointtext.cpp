#include "pointtext.h"

#include "session.h"

#include <QStringList>

#include <algorithm>

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

QString joinedRows(const Session &session, QChar fieldSeparator, QChar decimalSeparator,
                   bool quoted, const QString &lineEnd)
{
    const auto field = [&](const QString &text) { return quoted ? quotedField(text) : text; };
    QString text;
    text.reserve(qsizetype(session.points().size() + 1) * 64);
    for (int column = 0; column < ColumnCount; ++column) {
        if (column > 0)
            text += fieldSeparator;
        text += field(columnHeader(session, Column(column)));
    }
    text += lineEnd;
    for (const Point &point : session.points()) {
        for (int column = 0; column < ColumnCount; ++column) {
            if (column > 0)
                text += fieldSeparator;
            text += field(cellText(session, point, Column(column), decimalSeparator));
        }
        text += lineEnd;
    }
    return text;
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

QString columnHeader(const Session &session, Column column)
{
    const QString unit = session.unit().simplified();
    const auto withUnit = [](const QString &name, const QString &unit) {
        return unit.isEmpty() ? name : u"%1 (%2)"_s.arg(name, unit);
    };
    switch (column) {
    case Column::Time:
        return u"Tempo (s)"_s;
    case Column::Value: {
        const QString title = session.title().simplified();
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

QByteArray csvText(const Session &session, CsvFormat format)
{
    const bool semicolon = format == CsvFormat::Semicolon;
    return "\xEF\xBB\xBF"
        + joinedRows(session, semicolon ? u';' : u',', semicolon ? u',' : u'.', true, u"\r\n"_s)
              .toUtf8();
}

QString tabText(const Session &session, QChar decimalSeparator)
{
    // The heading's title and unit are simplified: no tab or line end can break its row.
    return joinedRows(session, u'\t', decimalSeparator, false, u"\n"_s);
}

} // namespace Quorin
