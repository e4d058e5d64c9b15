// The device's sketches on the simulated Uno, the frames each one sends for a voltage on A0 and
// their pace, and the LM35 sketch calibrated as the guide shows.

#include "protocol.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Bounds a hang, nothing more: a loaded machine may take long to start a program.
constexpr int Patience = 120000;

// Everything a serial line brings until its far end closes, as the simulated Uno's does when it
// ends: the pseudo-terminal then reads as gone.
QByteArray readLine(const QString &path)
{
    QByteArray bytes;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    char buffer[256];
    while (fd >= 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    if (fd >= 0)
        ::close(fd);
    return bytes;
}

// The code of every frame, after the first sync byte; empty if a frame is not sync and code.
QByteArray codesOf(const QByteArray &line)
{
    QByteArray codes;
    for (qsizetype at = line.indexOf(char(Quorin::SyncByte)); at + 1 < line.size(); at += 2) {
        if (line[at] != char(Quorin::SyncByte))
            return {};
        codes.append(line[at + 1]);
    }
    return codes;
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sketchSendsTheVoltageAsFramesBackToBack_data();
    void sketchSendsTheVoltageAsFramesBackToBack();
};

void TestDevice::sketchSendsTheVoltageAsFramesBackToBack_data()
{
    QTest::addColumn<QString>("sketch");
    QTest::addColumn<int>("millivolts");
    QTest::addColumn<QString>("shown");
    // The voltages keep away from the edges between two conversions' results: simavr's ADC
    // gives mV * 1023 / reference where the chip gives mV * 1024 / reference.
    // 2 V is 2/5 of the scale: code 1 + 253 * 409 / 1023 = 102, shown (102 - 1) / 2.53.
    QTest::newRow("potenziometro, 0 V") << u"potenziometro"_s << 0 << u"0.0"_s;
    QTest::newRow("potenziometro, 2 V") << u"potenziometro"_s << 2000 << u"39.9"_s;
    QTest::newRow("potenziometro, 5 V") << u"potenziometro"_s << 5000 << u"100.0"_s;
    // The LM35 gives 10 mV per degree; the value shown is the temperature.
    QTest::newRow("lm35, 0 °C") << u"lm35"_s << 0 << u"0.0"_s;
    QTest::newRow("lm35, 30 °C") << u"lm35"_s << 300 << u"30.0"_s;
    QTest::newRow("lm35, 100 °C") << u"lm35"_s << 1000 << u"100.0"_s;
    QTest::newRow("lm35, 150 °C, over the range") << u"lm35"_s << 1500 << u"100.0"_s;
    // The guide's calibration: a chip whose reference is 1004 mV, not 1100, reads 220 mV
    // (22.0 °C) as the 1100 mV reference reads 220 * 1100 / 1004 = 241 mV: lm35 shows 24.1, and
    // with the reference set to 1004, the nearest value to 22.0 that a code gives.
    QTest::newRow("lm35, 22 °C on a 1004 mV chip") << u"lm35"_s << 241 << u"24.1"_s;
    QTest::newRow("lm35 calibrated, 22 °C on a 1004 mV chip") << u"lm35-1004"_s << 241 << u"22.1"_s;
}

void TestDevice::sketchSendsTheVoltageAsFramesBackToBack()
{
    QFETCH(QString, sketch);
    QFETCH(int, millivolts);
    QFETCH(QString, shown);
    // One second of the chip's time, from power-on, which may take longer on a busy machine.
    QProcess uno;
    uno.start(QStringLiteral(QUORIN_UNO),
              {QStringLiteral(QUORIN_SKETCH_DIR "/%1/%1.elf").arg(sketch), u"--a0"_s,
               QString::number(millivolts), u"--seconds"_s, u"1"_s});
    QTRY_VERIFY_WITH_TIMEOUT(uno.canReadLine(), Patience); // the pty's path comes first
    const QByteArray line = readLine(QString::fromLocal8Bit(uno.readLine()).trimmed());
    QVERIFY(uno.state() == QProcess::NotRunning || uno.waitForFinished(Patience));
    const QString report = QString::fromLocal8Bit(uno.readAllStandardError());

    // Every byte is part of a frame, the first one from the start; one code throughout.
    QCOMPARE(line.indexOf(char(Quorin::SyncByte)), 0);
    const QByteArray codes = codesOf(line);
    QVERIFY2(codes.size() > 100, qPrintable(report));
    QCOMPARE(codes, QByteArray(codes.size(), codes[0]));
    QCOMPARE(QString::number(Quorin::scaledValue(static_cast<unsigned char>(codes[0])), 'f', 1),
             shown);

    // Back to back: no gap between bytes longer than a byte takes on the line, in the chip's
    // time. A byte takes 10 bits at 9600 baud, 1.04 ms; simavr counts 11 (a parity bit even
    // without parity), 1.14 ms at the 9615 baud that the Uno makes of 9600.
    const QRegularExpression gap(u"longest gap between two bytes (\\d+) us"_s);
    const auto match = gap.match(report);
    QVERIFY2(match.hasMatch(), qPrintable(report));
    QVERIFY2(match.captured(1).toInt() < 1200, qPrintable(report));
    qInfo("%s", qPrintable(report.trimmed()));
}

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
