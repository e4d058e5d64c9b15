#include "linesettings.h"

#include <QTest>

using Quorin::LineSettings;

// Checks which settings strings the port takes and which it refuses.
class TestLineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesBaudParityDataStop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<LineSettings>>("expected");

        const auto row = [](const char *name, const char *text,
                            std::optional<LineSettings> expected = std::nullopt) {
            QTest::newRow(name) << QString::fromLatin1(text) << expected;
        };
        row("the sensor's line", "9600,N,8,1",
            LineSettings{9600, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop});
        row("lower-case odd, 5 bits, 1.5 stop", "1200,o,5,1.5",
            LineSettings{1200, QSerialPort::OddParity, QSerialPort::Data5,
                         QSerialPort::OneAndHalfStop});
        row("mark, 2 stop, spaces around fields", " 300 , M , 6 , 2 ",
            LineSettings{300, QSerialPort::MarkParity, QSerialPort::Data6, QSerialPort::TwoStop});
        row("empty", "");
        row("three fields", "9600,N,8");
        row("baud not a number", "abc,N,8,1");
        row("parity Q", "9600,Q,8,1");
        row("data bits 9", "9600,N,9,1");
        row("stop bits 3", "9600,N,8,3");
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
