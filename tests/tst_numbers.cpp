// Reading numbers from texts, whole-number conversion and the two-digit and mm:ss forms.

#include "common/duration.h"
#include "common/numbers.h"
#include "common/remaining_time.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <optional>

using namespace timers;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {
const std::optional<double> kFails;
const std::optional<qint64> kOutOfRange;
} // namespace

class TestNumbers : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<double>>("expected");
        const auto row = [](const char* name, const QByteArray& text, std::optional<double> value) {
            QTest::newRow(name) << text << value;
        };
        row("trailing letters", "90s", 90);
        row("blank inside", "1 20", 120);
        row("tab and line feed inside", "\t1\n2", 12);
        row("colon stops", "1:30", 1);
        row("letters first", "COM3", 0);
        row("empty", "", 0);
        row("blanks only", "   ", 0);
        row("minus", "-5", -5);
        row("blank after sign", "- 5", -5);
        row("plus", "+7", 7);
        row("two signs", "--5", 0);
        row("fraction", "2.5", 2.5);
        row("second point stops", "1.2.3", 1.2);
        row("leading point", ".5", 0.5);
        row("point alone", ".", 0);
        row("comma is not a decimal point", "1,5", 1);
        row("E exponent", "1e3", 1000);
        row("D exponent", "1D3", 1000);
        row("negative D exponent", "25d-1", 2.5);
        row("blanks in exponent", "1 e - 2", 0.01);
        row("exponent without digits", "7e", 7);
        row("exponent sign without digits", "7e+x", 7);
        row("hex", "&HFF", 255);
        row("hex lower case", "&hff", 255);
        row("hex 16-bit all ones", "&HFFFF", -1);
        row("hex 16-bit sign bit", "&H8000", -32768);
        row("hex just over 16 bits", "&H10000", 65536);
        row("hex 32-bit all ones", "&HFFFFFFFF", -1);
        row("hex 32-bit sign bit", "&H80000000", -2147483648.0);
        row("hex leading zeros", "&H000000000001", 1);
        row("hex stops at non-digit", "&HFFG", 255);
        row("hex with sign", "-&H10", -16);
        row("hex without digits", "&H", 0);
        row("octal", "&O777", 511);
        row("octal 16-bit all ones", "&o177777", -1);
        row("octal stops at 8", "&O78", 7);
        row("ampersand alone", "&X1", 0);
        row("hex beyond 32 bits fails", "&H100000000", kFails);
        row("double overflow fails", "1e309", kFails);
        row("long mantissa overflow fails", QByteArray(400, '9'), kFails);
        row("underflow is zero", "1e-400", 0);
        row("zero mantissa, huge exponent", "0e999999", 0);
        // Out of range is decided by the value, not by the exponent's sign.
        row("10^390 with a negative exponent fails", "1" + QByteArray(400, '0') + "e-10", kFails);
        row("10^-396 with a positive exponent is zero", "0." + QByteArray(400, '0') + "1e5", 0);
        row("exponent beyond any integer", "1e-99999999999999999999999", 0);
        row("largest double", "1.7976931348623157e308", std::numeric_limits<double>::max());
    }
    void leadingNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<double>, expected);
        const auto value = leadingNumberValue(text.toStdString());
        QCOMPARE(value.has_value(), expected.has_value());
        if (expected)
            QCOMPARE(*value, *expected);
    }

    void wholeNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<std::optional<qint64>>("int32");
        QTest::addColumn<std::optional<qint64>>("int16");
        QTest::newRow("tie down to even") << 2.5 << std::optional<qint64>(2) << std::optional<qint64>(2);
        QTest::newRow("tie up to even") << 3.5 << std::optional<qint64>(4) << std::optional<qint64>(4);
        QTest::newRow("negative tie") << -2.5 << std::optional<qint64>(-2) << std::optional<qint64>(-2);
        QTest::newRow("below half") << 0.4 << std::optional<qint64>(0) << std::optional<qint64>(0);
        QTest::newRow("int16 top") << 32767.4 << std::optional<qint64>(32767) << std::optional<qint64>(32767);
        QTest::newRow("int16 top tie rounds out") << 32767.5 << std::optional<qint64>(32768) << kOutOfRange;
        QTest::newRow("int16 bottom tie rounds in")
            << -32768.5 << std::optional<qint64>(-32768) << std::optional<qint64>(-32768);
        QTest::newRow("int32 top") << 2147483647.0 << std::optional<qint64>(2147483647) << kOutOfRange;
        QTest::newRow("int32 top tie rounds out") << 2147483647.5 << kOutOfRange << kOutOfRange;
        QTest::newRow("int32 bottom tie rounds in")
            << -2147483648.5 << std::optional<qint64>(-2147483648LL) << kOutOfRange;
        QTest::newRow("far out") << 1e300 << kOutOfRange << kOutOfRange;
        QTest::newRow("not a number") << std::nan("") << kOutOfRange << kOutOfRange;
    }
    void wholeNumber()
    {
        QFETCH(double, value);
        QFETCH(std::optional<qint64>, int32);
        QFETCH(std::optional<qint64>, int16);
        const auto got32 = toInt32(value);
        QCOMPARE(got32.has_value(), int32.has_value());
        if (int32)
            QCOMPARE(qint64(*got32), *int32);
        const auto got16 = toInt16(value);
        QCOMPARE(got16.has_value(), int16.has_value());
        if (int16)
            QCOMPARE(qint64(*got16), *int16);
    }

    void strictNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<qint64>>("expected");
        const auto row = [](const char* name, const QByteArray& text, std::optional<qint64> value) {
            QTest::newRow(name) << text << value;
        };
        row("plain", "3", 3);
        row("blanks around", " \t3 ", 3);
        row("fraction rounds to even", "2.5", 2);
        row("fraction rounds up", "3.5", 4);
        row("signs", "-7", -7);
        row("plus", "+7", 7);
        row("exponent", "1e2", 100);
        row("underflow", "1e-400", 0);
        row("10^390 with a negative exponent", "1" + QByteArray(400, '0') + "e-10", kOutOfRange);
        row("10^-396 with a positive exponent", "0." + QByteArray(400, '0') + "1e5", 0);
        row("trailing tab", "3\t", 3);
        row("top", "32767", 32767);
        row("over the top", "32768", kOutOfRange);
        row("huge", "1e400", kOutOfRange);
        row("letters first", "COM3", kOutOfRange);
        row("letters after", "3a", kOutOfRange);
        row("blank inside", "1 2", kOutOfRange);
        row("empty", "", kOutOfRange);
        row("blanks only", "  ", kOutOfRange);
        row("sign only", "-", kOutOfRange);
        row("point only", ".", kOutOfRange);
        row("hex form", "&H3", kOutOfRange);
        row("infinity", "inf", kOutOfRange);
        row("nan", "nan", kOutOfRange);
        row("two signs", "--3", kOutOfRange);
        row("exponent without digits", "1e", kOutOfRange);
    }
    void strictNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<qint64>, expected);
        const auto value = strictInt16(text.toStdString());
        QCOMPARE(value.has_value(), expected.has_value());
        if (expected)
            QCOMPARE(qint64(*value), *expected);
    }

    // Every door beyond the prompt (timers-ctl, the script interface, the tray) reads a duration
    // whole or refuses it; the prompt reads those with a unit or a colon the same way, in whole
    // seconds, and anything else by its leading number. Columns: hundredths read (-1: refused)
    // and the seconds the prompt takes (-1: out of range).
    void durations_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("hundredths");
        QTest::addColumn<qint64>("promptSeconds");
        QTest::addColumn<QString>("label"); // as a menu names the length read; "": not checked
        const auto row = [](const char* text, qint64 hundredths, qint64 prompt, const char* label) {
            QTest::newRow(text) << QByteArray(text) << hundredths << prompt << QString(label);
        };
        row("90", 9000, 90, "1:30");
        row("12.5", 1250, 12, "0:12.5"); // ties to even at the prompt
        row("0.7", 70, 1, "0:00.7");
        row("1:30", 9000, 90, "1:30");
        row("1:02.3", 6230, 62, "1:02.3");
        row("1:02:03", 372300, 3723, "1:02:03");
        row("90s", 9000, 90, "1:30");
        row("5m", 30000, 300, "5:00");
        row("2m", 12000, 120, "2:00");
        row("1.5m", 9000, 90, "1:30");
        row("1h30m", 540000, 5400, "1:30:00");
        row("1h 30m", 540000, 5400, "1:30:00");
        row("1h30", 540000, 5400, "1:30:00");
        row("1m30", 9000, 90, "1:30");
        row("5min", 30000, 300, "5:00");
        row("5 Min", 30000, 300, "5:00");
        row("2 minutes", 12000, 120, "2:00");
        row("2h0m5s", 720500, 7205, "2:00:05");
        row(" 5m ", 30000, 300, "5:00");
        row("0", 0, 0, "0:00");
        row("00:00", 0, 0, "0:00");
        row("99999999999999999999h", std::numeric_limits<qint64>::max(), -1, "");
        // Refused by the doors beyond the prompt; the prompt reads the leading number.
        row("", -1, 0, "");
        row("1 20", -1, 120, "");
        row("-5", -1, -5, "");
        row("1e3", -1, 1000, "");
        row("12x", -1, 12, "");
        row("abc", -1, 0, "");
        row("1:60", -1, 1, "");
        row("1:5", -1, 1, "");
        row("1:02:03:04", -1, 1, "");
        row("1.5:00", -1, 2, "");
        row("1:02.3:04", -1, 1, "");
        row("0.125", -1, 0, "");
        row("5.", -1, 5, "");
        row("30m1h", -1, 30, "");
        row("1m1m", -1, 1, "");
        row("1s30", -1, 1, "");
        row("1.5h30m", -1, 2, "");
        row("h", -1, 0, "");
        row("5 x", -1, 5, "");
        row("&H10", -1, 16, "");
        row("99999999999", 9999999999900, -1, "");
    }
    void durations()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, hundredths);
        QFETCH(qint64, promptSeconds);
        QFETCH(QString, label);
        const std::optional<Centiseconds> read = readDuration(text.toStdString());
        QCOMPARE(read ? qint64(read->count()) : -1, hundredths);
        QCOMPARE(read && label != "" ? QString::fromStdString(durationLabel(*read)) : QString(), label);
        const std::optional<std::int32_t> prompt = timers::promptSeconds(text.toStdString());
        QCOMPARE(prompt ? qint64(*prompt) : -1, promptSeconds);
    }

    void rendering_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("twoDigit");
        QTest::addColumn<QString>("mmss");
        QTest::newRow("zero") << qint64(0) << "00"
                              << "00:00";
        QTest::newRow("five") << qint64(5) << "05"
                              << "00:05";
        QTest::newRow("59") << qint64(59) << "59"
                            << "00:59";
        QTest::newRow("75") << qint64(75) << "75"
                            << "01:15";
        QTest::newRow("100") << qint64(100) << "100"
                             << "01:40";
        QTest::newRow("6000") << qint64(6000) << "6000"
                              << "100:00";
        QTest::newRow("minus one") << qint64(-1) << "-01"
                                   << "-01:-01";
        QTest::newRow("minus five") << qint64(-5) << "-05"
                                    << "-01:-05";
        QTest::newRow("minus sixty") << qint64(-60) << "-60"
                                     << "-01:00";
        QTest::newRow("minus 61") << qint64(-61) << "-61"
                                  << "-02:-01";
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << "-9223372036854775808"
                                       << "-153722867280912931:-08";
    }
    void rendering()
    {
        QFETCH(qint64, value);
        QFETCH(QString, twoDigit);
        QFETCH(QString, mmss);
        QCOMPARE(QString::fromStdString(twoDigits(value)), twoDigit);
        QCOMPARE(QString::fromStdString(minutesSeconds(value)), mmss);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
