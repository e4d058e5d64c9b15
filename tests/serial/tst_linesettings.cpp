#include "linesettings.h"

#include <QTest>

using Quorin::LineSettings;
using namespace Qt::StringLiterals;

// Checks how a settings string becomes the line's settings. A pseudo-terminal keeps eight bits
// without parity whatever it is told, so parity and character size are checked here only.
class TestLineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesBaudParityDataStop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<LineSettings>>("expected");
        QTest::newRow("the sensor's")
            << u"9600,N,8,1"_s
            << std::optional(LineSettings{9600, QSerialPort::NoParity, QSerialPort::Data8,
                                          QSerialPort::OneStop});
        QTest::newRow("even, seven bits, two stops")
            << u"19200,E,7,2"_s
            << std::optional(LineSettings{19200, QSerialPort::EvenParity, QSerialPort::Data7,
                                          QSerialPort::TwoStop});
        QTest::newRow("odd, five bits, one and a half")
            << u"300,o,5,1.5"_s
            << std::optional(LineSettings{300, QSerialPort::OddParity, QSerialPort::Data5,
                                          QSerialPort::OneAndHalfStop});
        for (const QString &bad : {u"9600;N;8;1"_s, u"9600,N,8"_s, u"9600,X,8,1"_s, u"9600,N,9,1"_s,
                                   u"9600,N,8,3"_s, u"0,N,8,1"_s, u"-9600,N,8,1"_s, QString()})
            QTest::addRow("refused: \"%s\"", qPrintable(bad))
                << bad << std::optional<LineSettings>();
    }

    void parsesBaudParityDataStop()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<LineSettings>, expected);
        QCOMPARE(Quorin::parseLineSettings(text), expected);
    }
};

QTEST_APPLESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
