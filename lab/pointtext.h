#pragma once

#include <QByteArray>
#include <QChar>
#include <QIODevice>
#include <QLocale>
#include <QString>

namespace Quorin {

class Session;
struct Point;

// The columns of the points' table, in the window, the files and the clipboard alike.
enum class Column { Time, Value, Samples, Minimum, Maximum, DateTime };
inline constexpr int ColumnCount = 6;

// The decimal separator numbers are written with where the user's habits are `locale`'s: a comma
// where the locale writes one, else a point.
[[nodiscard]] QChar decimalSeparatorFor(const QLocale &locale);

// Whether the session's title names the value's column: in the files and the clipboard, where
// the data go without the graph; on screen the graph shows the title above it.
enum class Heading { Titled, Plain };

// A column's heading, with its unit: "Tempo (s)", "Valore (°C)", or the session's title for the
// values, "Acqua che si raffredda (°C)", where it has one and the heading is titled.
[[nodiscard]] QString columnHeader(const Session &session, Column column,
                                   Heading heading = Heading::Titled);

// What a point shows in a column, with `decimalSeparator`; where it is a comma, the date and
// time are written day first, as in Italy, else as ISO 8601 writes them.
[[nodiscard]] QString cellText(const Session &session, const Point &point, Column column,
                               QChar decimalSeparator);

// A value that is a mean of samples, as the table writes it: two decimals.
[[nodiscard]] QString meanText(double value, QChar decimalSeparator);

// The two kinds of CSV file: for Excel and Calc on an Italian system, ';' between fields and
// decimal commas, each number with a comma in quotes; for other tools, ',' between fields and
// decimal points. Both UTF-8 with a byte order mark, which Excel needs to read the unit's "°",
// and CRLF line ends.
enum class CsvFormat { Semicolon, Comma };

// The format that opens by a double-click on a system of `locale`.
[[nodiscard]] CsvFormat csvFormatFor(const QLocale &locale);

// Writes the session as a CSV file: a heading row, then a row for each point, a block at a time.
// False when the file refused a block.
[[nodiscard]] bool writeCsv(const Session &session, CsvFormat format, QIODevice &file);
// The same text, whole.
[[nodiscard]] QByteArray csvText(const Session &session, CsvFormat format);

// The session as tab-separated text, which pastes into a spreadsheet's columns.
[[nodiscard]] QString tabText(const Session &session, QChar decimalSeparator);

} // namespace Quorin
