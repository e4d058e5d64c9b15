// The device's sketches on the simulated Uno, the frames each one sends for a voltage on A0 and
// their pace; and the command that writes a sketch to an Uno.

#include "protocol.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
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
    void uploadWritesTheHexThroughTheBootloader_data();
    void uploadWritesTheHexThroughTheBootloader();
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

void TestDevice::uploadWritesTheHexThroughTheBootloader_data()
{
    QTest::addColumn<QStringList>("portOption");
    QTest::addColumn<QString>("port");
    QTest::newRow("an Uno, on its usual port") << QStringList() << u"/dev/ttyACM0"_s;
    QTest::newRow("a clone with a CH340")
        << QStringList{u"--port"_s, u"/dev/ttyUSB0"_s} << u"/dev/ttyUSB0"_s;
}

// The upload's avrdude command line, through an avrdude on PATH that only records it. Writing
// the sketch through optiboot on the simulated Uno is bench/upload-uno.sh, not a test: avrdude
// waits for the bootloader's answers in real time, and a simulated chip starved of the CPU on a
// busy machine answers too late for it.
void TestDevice::uploadWritesTheHexThroughTheBootloader()
{
    QFETCH(QStringList, portOption);
    QFETCH(QString, port);
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString recorded = bin.filePath(u"arguments"_s);
    QFile avrdude(bin.filePath(u"avrdude"_s));
    QVERIFY(avrdude.open(QIODevice::WriteOnly));
    avrdude.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$(dirname \"$0\")/arguments\"\n");
    avrdude.close();
    QVERIFY(avrdude.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcess upload;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s, bin.path() + u':' + environment.value(u"PATH"_s));
    upload.setProcessEnvironment(environment);
    upload.setProcessChannelMode(QProcess::MergedChannels);
    const QString hex = QStringLiteral(QUORIN_SKETCH_DIR "/lm35/lm35.hex");
    upload.start(QStringLiteral(QUORIN_UPLOAD), portOption + QStringList{hex});
    QVERIFY(upload.waitForFinished(Patience));
    QVERIFY2(upload.exitCode() == 0, upload.readAll().constData());

    // The Uno's bootloader speaks STK500 (-c arduino) at 115200 baud and erases each page as it
    // writes it (-D, no chip erase).
    QFile arguments(recorded);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(arguments.readAll()).split(u'\n', Qt::SkipEmptyParts),
             QStringList({u"-c"_s, u"arduino"_s, u"-b"_s, u"115200"_s, u"-p"_s, u"atmega328p"_s,
                          u"-P"_s, port, u"-D"_s, u"-U"_s, u"flash:w:"_s + hex + u":i"_s}));
}

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
