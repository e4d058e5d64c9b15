#include "pointtext.h"
#include "session.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Two points: codes 128 and 130 over the first half second, code 1 over the next, which starts
// in the next second on the clock.
void fill(Quorin::Session &session, const QString &title, const QString &unit)
{
    session.setOrigin(QDateTime(QDate(2024, 5, 6), QTime(10, 15, 30, 700)));
    session.setTitle(title);
    session.setUnit(unit);
    session.beginRun(0, 500);
    session.addSamples(0, {128, 130});
    session.addSamples(600, {1});
    session.endRun(700);
}

} // namespace

// Checks the table as the files and the clipboard write it, byte for byte: what a spreadsheet
// reads as headings and numbers.
class TestPointText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesWhatASpreadsheetReads_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("kind"); // a CsvFormat, or -1 for the clipboard's text
        QTest::addColumn<QByteArray>("expected");
        // The mean of 128 and 130 is 129: (129 - 1) * 100 / 253 = 50.59...; 128 and 130 alone
        // are 50.19... and 50.98... Calc splits at commas too unless told otherwise: numbers
        // with a decimal comma come in quotes.
        QTest::newRow("semicolons and decimal commas, for Italian Excel and Calc")
            << QString() << u"°C"_s << int(Quorin::CsvFormat::Semicolon)
            << QByteArray("\xEF\xBB\xBF"
                          "Tempo (s);Valore (°C);Campioni;Minimo;Massimo;Data e ora\r\n"
                          "\"0,0\";\"50,59\";2;\"50,2\";\"51,0\";06/05/2024 10:15:30\r\n"
                          "\"0,5\";\"0,00\";1;\"0,0\";\"0,0\";06/05/2024 10:15:31\r\n");
        QTest::newRow("commas and decimal points, for other tools")
            << QString() << u"%"_s << int(Quorin::CsvFormat::Comma)
            << QByteArray("\xEF\xBB\xBF"
                          "Tempo (s),Valore (%),Campioni,Minimo,Massimo,Data e ora\r\n"
                          "0.0,50.59,2,50.2,51.0,2024-05-06 10:15:30\r\n"
                          "0.5,0.00,1,0.0,0.0,2024-05-06 10:15:31\r\n");
        QTest::newRow("a title names the values; quoted where it holds a separator")
            << u"Acqua; \"calda\""_s << QString() << int(Quorin::CsvFormat::Comma)
            << QByteArray(
                   "\xEF\xBB\xBF"
                   "Tempo (s),\"Acqua; \"\"calda\"\"\",Campioni,Minimo,Massimo,Data e ora\r\n"
                   "0.0,50.59,2,50.2,51.0,2024-05-06 10:15:30\r\n"
                   "0.5,0.00,1,0.0,0.0,2024-05-06 10:15:31\r\n");
        QTest::newRow("the clipboard: tabs, decimal commas, one line for each row")
            << u"Luce\tdel\nsole"_s << u" lux "_s << -1
            << QByteArray("Tempo (s)\tLuce del sole (lux)\tCampioni\tMinimo\tMassimo\tData e ora\n"
                          "0,0\t50,59\t2\t50,2\t51,0\t06/05/2024 10:15:30\n"
                          "0,5\t0,00\t1\t0,0\t0,0\t06/05/2024 10:15:31\n");
    }

    void writesWhatASpreadsheetReads()
    {
        QFETCH(QString, title);
        QFETCH(QString, unit);
        QFETCH(int, kind);
        QFETCH(QByteArray, expected);
        Quorin::Session session;
        fill(session, title, unit);
        const QByteArray written = kind < 0 ? Quorin::tabText(session, u',').toUtf8()
                                            : Quorin::csvText(session, Quorin::CsvFormat(kind));
        QCOMPARE(written, expected);
    }

    void theFormatFollowsTheDecimalSeparator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("format");
        QTest::newRow("Italian") << QLocale(QLocale::Italian, QLocale::Italy)
                                 << int(Quorin::CsvFormat::Semicolon);
        QTest::newRow("German, a comma too")
            << QLocale(QLocale::German, QLocale::Germany) << int(Quorin::CsvFormat::Semicolon);
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                 << int(Quorin::CsvFormat::Comma);
        QTest::newRow("C") << QLocale::c() << int(Quorin::CsvFormat::Comma);
    }

    void theFormatFollowsTheDecimalSeparator()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, format);
        QCOMPARE(int(Quorin::csvFormatFor(locale)), format);
    }
};

QTEST_GUILESS_MAIN(TestPointText)
#include "tst_pointtext.moc"
