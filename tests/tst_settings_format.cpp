// Reading and writing the settings text: headers, the one-pass cascade, line ends, repeats.

#include "settings/settings_format.h"

#include <QTest>

using namespace timers;

namespace {

// Records what the loader did, in order: "port=3", "onoff=ON", "pin=7 - RTS", "alarm".
class Recorder final : public SettingsTarget {
public:
    void setPortNumberText(const std::string& text) override { ops << "port=" + QByteArray::fromStdString(text); }
    void setOnOffText(const std::string& text) override { ops << "onoff=" + QByteArray::fromStdString(text); }
    void setPinText(const std::string& text) override { ops << "pin=" + QByteArray::fromStdString(text); }
    void checkAlarm() override { ops << "alarm"; }
    QByteArrayList ops;
};

QByteArrayList load(const QByteArray& content)
{
    Recorder whole;
    applySettings(std::string_view(content.constData(), std::size_t(content.size())), whole);
    // The file is read in pieces: wherever they split it (a CR LF among them), it reads the same.
    Recorder bytewise;
    SettingsReader reader(bytewise);
    for (char c : content)
        reader.feed(std::string_view(&c, 1));
    reader.finish();
    return whole.ops == bytewise.ops ? whole.ops : QByteArrayList{"<differs when fed in pieces>"};
}

} // namespace

class TestSettingsFormat : public QObject {
    Q_OBJECT
private slots:
    void written()
    {
        const std::string text = composeSettings({"3", "ON", "7 - RTS", true});
        QCOMPARE(QByteArray::fromStdString(text),
                 QByteArray("//Timer Control\r\n[USB/COM port]\r\n3\r\n[COM On-Off]\r\nON\r\n"
                            "[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nYes\r\n"));
        QCOMPARE(QByteArray::fromStdString(composeSettings({"Combo1", "Combo1", "Combo1", false})),
                 QByteArray("//Timer Control\r\n[USB/COM port]\r\nCombo1\r\n[COM On-Off]\r\nCombo1\r\n"
                            "[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nNo\r\n"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("onOff");
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<QByteArrayList>("loaded");
        QTest::newRow("as chosen") << QByteArray("3") << QByteArray("ON") << QByteArray("7 - RTS") << true
                                   << QByteArrayList{"port=3", "onoff=ON", "pin=7 - RTS", "alarm"};
        QTest::newRow("first run") << QByteArray("Combo1") << QByteArray("Combo1") << QByteArray("Combo1") << false
                                   << QByteArrayList{"port=Combo1", "onoff=COMBO1", "pin=Combo1"};
        QTest::newRow("lower-case on comes back upper") << QByteArray("12") << QByteArray("on") << QByteArray("rts")
                                                        << false << QByteArrayList{"port=12", "onoff=ON", "pin=rts"};
        QTest::newRow("empty texts") << QByteArray() << QByteArray() << QByteArray() << false
                                     << QByteArrayList{"port=", "onoff=", "pin="};
        QTest::newRow("UTF-8 text") << QByteArray("Port \xc3\xbc") << QByteArray("an") << QByteArray("x") << false
                                    << QByteArrayList{"port=Port \xc3\xbc", "onoff=AN", "pin=x"};
    }
    void roundTrip()
    {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, onOff);
        QFETCH(QByteArray, pin);
        QFETCH(bool, alarm);
        QFETCH(QByteArrayList, loaded);
        const std::string text = composeSettings({port.toStdString(), onOff.toStdString(), pin.toStdString(), alarm});
        QCOMPARE(load(QByteArray::fromStdString(text)), loaded);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArrayList>("loaded");
        QTest::newRow("empty file") << QByteArray() << QByteArrayList{};
        QTest::newRow("headers in any case")
            << QByteArray("[use ALARM]\r\nyES\r\n[usb/com PORT]\r\n4\r\n") << QByteArrayList{"alarm", "port=4"};
        QTest::newRow("blank around Yes")
            << QByteArray("[Use alarm]\r\n Yes\r\n[Use alarm]\r\nYes \r\n") << QByteArrayList{};
        QTest::newRow("blank before a header") << QByteArray(" [USB/COM port]\r\n4\r\n") << QByteArrayList{};
        QTest::newRow("value kept as it stands")
            << QByteArray("[COM output pin]\r\n  7 - RTS \r\n") << QByteArrayList{"pin=  7 - RTS "};
        QTest::newRow("on upper-cased") << QByteArray("[COM On-Off]\r\non\r\n") << QByteArrayList{"onoff=ON"};
        QTest::newRow("title and other lines ignored")
            << QByteArray("//Timer Control\r\nhello\r\n[Other]\r\nx\r\n[COM On-Off]\r\nOFF\r\n")
            << QByteArrayList{"onoff=OFF"};
        QTest::newRow("bare CR ends lines")
            << QByteArray("[USB/COM port]\r5\r[Use alarm]\rYes") << QByteArrayList{"port=5", "alarm"};
        QTest::newRow("bare LF ends lines") << QByteArray("[USB/COM port]\n5\n[COM On-Off]\nON\n[Use alarm]\nyes\n")
                                            << QByteArrayList{"port=5", "onoff=ON", "alarm"};
        QTest::newRow("LF after CR is skipped once")
            << QByteArray("[USB/COM port]\r\n\n5\r\n") << QByteArrayList{"port="};
        QTest::newRow("later header as a value cascades") << QByteArray("[USB/COM port]\r\n[COM On-Off]\r\non\r\n")
                                                          << QByteArrayList{"port=[COM On-Off]", "onoff=ON"};
        QTest::newRow("long cascade in one pass")
            << QByteArray("[USB/COM port]\r\n[COM On-Off]\r\n[COM output pin]\r\n[Use alarm]\r\nyes\r\n")
            << QByteArrayList{"port=[COM On-Off]", "onoff=[COM OUTPUT PIN]", "pin=[Use alarm]", "alarm"};
        QTest::newRow("earlier header as a value is only a value")
            << QByteArray("[COM On-Off]\r\n[USB/COM port]\r\n5\r\n") << QByteArrayList{"onoff=[USB/COM PORT]"};
        QTest::newRow("a header as its own value is only a value")
            << QByteArray("[USB/COM port]\r\n[USB/COM port]\r\n5\r\n") << QByteArrayList{"port=[USB/COM port]"};
        QTest::newRow("last occurrence wins")
            << QByteArray("[USB/COM port]\r\n1\r\n[USB/COM port]\r\n2\r\n") << QByteArrayList{"port=1", "port=2"};
        QTest::newRow("alarm stays checked")
            << QByteArray("[Use alarm]\r\nyes\r\n[Use alarm]\r\nNo\r\n") << QByteArrayList{"alarm"};
        QTest::newRow("header on the last line")
            << QByteArray("[COM On-Off]\r\nON\r\n[USB/COM port]") << QByteArrayList{"onoff=ON"};
        QTest::newRow("header then line break at the end") << QByteArray("[USB/COM port]\r\n") << QByteArrayList{};
        QTest::newRow("invalid UTF-8 keeps the ASCII") << QByteArray("\xff\xfe[USB/COM port]\r\n[USB/COM port]\r\n\xff"
                                                                     "3\r\n[COM On-Off]\r\non\r\n")
                                                       << QByteArrayList{"port=\xff"
                                                                         "3",
                                                                         "onoff=ON"};
        QTest::newRow("long value cut") << "[COM output pin]\r\n" + QByteArray(200'000, 'x') + "\r\n[Use alarm]\r\nyes"
                                        << QByteArrayList{"pin=" + QByteArray(SettingsReader::kMaxLine, 'x'), "alarm"};
        static const char withNul[] = "[USB/COM port]\r\n3\0x\r\n";
        QTest::newRow("NUL bytes are text")
            << QByteArray(withNul, sizeof withNul - 1) << QByteArrayList{QByteArray("port=3\0x", 8)};
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArrayList, loaded);
        QCOMPARE(load(content), loaded);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFormat)
#include "tst_settings_format.moc"
