// The COM port dialog on the offscreen platform: layout, lists, hiding instead of closing,
// Esc, and which changes of the port-number field raise the port-number edit.

#include "comport/ComPort1.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QWindow>

using namespace timers;

namespace {
// A tooltip as it reads on screen (rich text where Qt takes it for such).
QString shownText(const QString& tooltip)
{
    QTextDocument document;
    if (Qt::mightBeRichText(tooltip))
        document.setHtml(tooltip);
    else
        document.setPlainText(tooltip);
    return document.toPlainText();
}

struct Dialog {
    ComTexts texts;
    ComPort1 dialog{texts, [] { return QStringList{"/dev/ttyUSB0", "/dev/ttyS0"}; }};
    QSignalSpy edits{&texts, &ComTexts::portNumberEdited};
    Dialog() { dialog.ensurePolished(); } // the controls are made

    QComboBox* field(const char* name) const { return dialog.findChild<QComboBox*>(QLatin1String(name)); }
    QStringList entries(const char* name) const
    {
        QStringList items;
        for (int i = 0; i < field(name)->count(); ++i)
            items << field(name)->itemText(i);
        return items;
    }
};
} // namespace

class TestComDialog : public QObject {
    Q_OBJECT
private slots:
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        // At 96 dpi: the layout's twips divided by 15 and rounded.
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<bool>("captionFont");
        QTest::newRow("Label1") << "Label1"
                                << "USB COM port" << QRect(14, 16, 100, 18) << true;
        QTest::newRow("ComPort") << "ComPort"
                                 << "Combo1" << QRect(117, 14, 48, 19) << false;
        QTest::newRow("Label2") << "Label2"
                                << "COM Port On" << QRect(25, 38, 95, 18) << true;
        QTest::newRow("PortOnOff") << "PortOnOff"
                                   << "Combo1" << QRect(116, 38, 57, 19) << false;
        QTest::newRow("Label3") << "Label3"
                                << "COM output pin" << QRect(9, 63, 111, 18) << true;
        QTest::newRow("DTR_RTS") << "DTR_RTS"
                                 << "Combo1" << QRect(115, 63, 66, 19) << false;
        QTest::newRow("Command1") << "Command1"
                                  << "Done" << QRect(64, 88, 70, 20) << false;
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, pixels);
        QFETCH(bool, captionFont);
        Dialog d;
        QWidget* control = d.dialog.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), pixels);
        if (auto* label = qobject_cast<QLabel*>(control))
            QCOMPARE(label->text(), text);
        else if (auto* box = qobject_cast<QComboBox*>(control))
            QCOMPARE(box->currentText(), text);
        else
            QCOMPARE(qobject_cast<QPushButton*>(control)->text(), text);
        QCOMPARE(control->font().bold(), captionFont);
        if (captionFont)
            QCOMPARE(control->font().pointSizeF(), 9.6);
    }

    void fieldsAreNamedByTheirCaptions()
    {
        Dialog d;
        for (auto [field, caption] : {std::pair{"ComPort", "USB COM port"}, std::pair{"PortOnOff", "COM Port On"},
                                      std::pair{"DTR_RTS", "COM output pin"}}) {
            // On Linux a combo box's name is its text; screen readers take the caption from
            // the label relation.
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(d.field(field));
            QVERIFY(face);
            QStringList labels;
            for (const auto& [other, relation] : face->relations(QAccessible::Label))
                labels << other->text(QAccessible::Name);
            QCOMPARE(labels, QStringList{QString::fromLatin1(caption)});
        }
        QAccessibleInterface* done = QAccessible::queryAccessibleInterface(
            d.dialog.findChild<QPushButton*>("Command1"));
        QCOMPARE(done->text(QAccessible::Name), QStringLiteral("Done"));
    }

    void windowAndLists()
    {
        Dialog d;
        QCOMPARE(d.dialog.windowTitle(), QStringLiteral("COM port"));
        QVERIFY(d.dialog.isWindow());
        QVERIFY(!d.dialog.parentWidget());
        QVERIFY(!d.dialog.isVisible()); // created hidden
        QCOMPARE(d.dialog.size(), QSize(198, 117));
        QCOMPARE(d.entries("ComPort"), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        QCOMPARE(d.entries("PortOnOff"), (QStringList{"ON", "OFF"}));
        QCOMPARE(d.entries("DTR_RTS"), (QStringList{"4 - DTR", "7 - RTS"}));
        QCOMPARE(d.texts.portNumberText() + d.texts.onOffText() + d.texts.pinText(),
                 QStringLiteral("Combo1Combo1Combo1"));

        // Shown, it belongs to the main window for the window manager, which places it over
        // that window, and it stays modeless.
        QWidget main;
        main.show();
        d.dialog.setTransientFor(&main);
        d.dialog.showModeless();
        QVERIFY(d.dialog.windowHandle() && main.windowHandle());
        QCOMPARE(d.dialog.windowHandle()->transientParent(), main.windowHandle());
        QCOMPARE(d.dialog.windowModality(), Qt::NonModal);
        QVERIFY(!d.dialog.parentWidget());
    }

    void focusOrder()
    {
        Dialog d;
        QStringList order;
        QWidget* current = d.field("ComPort");
        for (int i = 0; i < 4; ++i) {
            order << current->objectName();
            do
                current = current->nextInFocusChain();
            while (!(current->focusPolicy() & Qt::TabFocus) || current->objectName().isEmpty());
        }
        QCOMPARE(order, (QStringList{"ComPort", "PortOnOff", "DTR_RTS", "Command1"}));
    }

    // Done, the close box and Esc: the first two hide, Esc does nothing; texts survive.
    void hidingKeepsTheTexts_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("Done") << "done" << true;
        QTest::newRow("close request") << "close" << true;
        QTest::newRow("Return on Done") << "return" << true;
        QTest::newRow("Esc") << "esc" << false;
    }
    void hidingKeepsTheTexts()
    {
        QFETCH(QString, how);
        QFETCH(bool, hidden);
        Dialog d;
        d.dialog.showModeless();
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
        d.texts.setOnOffText("ON");
        QTest::keyClick(d.field("DTR_RTS")->lineEdit(), Qt::Key_End); // a field not typed in shows its start
        QTest::keyClicks(d.field("DTR_RTS")->lineEdit(), "x");
        if (how == "done")
            d.dialog.findChild<QPushButton*>("Command1")->click();
        else if (how == "close")
            QVERIFY(!d.dialog.close());
        else if (how == "return") {
            auto* done = d.dialog.findChild<QPushButton*>("Command1");
            done->setFocus();
            QTest::keyClick(done, Qt::Key_Return);
        } else
            QTest::keyClick(d.field("PortOnOff"), Qt::Key_Escape);
        QCOMPARE(d.dialog.isVisible(), !hidden);
        d.dialog.showModeless();
        d.dialog.showModeless(); // shown again: stays as it is
        QCOMPARE(d.texts.onOffText(), QStringLiteral("ON"));
        QCOMPARE(d.texts.pinText(), QStringLiteral("Combo1x"));
    }

    // A choice is shown whole in its field (a smaller size of the field's font where needed);
    // a text too long even then shows its start, as long as the field is not typed in.
    void choicesShowWhole_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("7 - RTS") << "DTR_RTS"
                                 << "7 - RTS" << true;
        QTest::newRow("4 - DTR") << "DTR_RTS"
                                 << "4 - DTR" << true;
        QTest::newRow("OFF") << "PortOnOff"
                             << "OFF" << true;
        QTest::newRow("port 10") << "ComPort"
                                 << "10" << true;
        QTest::newRow("Combo1 in the port field") << "ComPort"
                                                  << "Combo1" << true;
        QTest::newRow("Combo1 in the on/off field") << "PortOnOff"
                                                    << "Combo1" << true;
        QTest::newRow("a long port text") << "ComPort"
                                          << "/dev/ttyUSB0 is mine" << false;
    }
    void choicesShowWhole()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, fits);
        Dialog d;
        d.dialog.showModeless();
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
        d.dialog.findChild<QPushButton*>("Command1")->setFocus(); // no field is typed in
        if (field == "DTR_RTS")
            d.texts.setPinText(text);
        else if (field == "PortOnOff")
            d.texts.setOnOffText(text);
        else
            d.texts.setPortNumberText(text);
        QLineEdit* edit = d.field(field.toLatin1().constData())->lineEdit();
        // The line edit draws its text 2 pixels in from each side, inside its text margins.
        const int room = edit->contentsRect().width() - 4 - edit->textMargins().left() - edit->textMargins().right();
        QCOMPARE(QFontMetricsF(edit->font()).horizontalAdvance(text) <= room, fits);
        QVERIFY(edit->font().pointSizeF() >= 6);
        QCOMPARE(edit->cursorPosition(), 0);
    }

    void typingRaisesTheEditAndChoosingDoesNot()
    {
        Dialog d;
        QVERIFY(d.edits.isValid());
        d.dialog.showModeless();
        QLineEdit* edit = d.field("ComPort")->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, "12");
        QCOMPARE(d.edits.size(), 2); // "1", then "12"
        QCOMPARE(d.edits.last().first().toString(), QStringLiteral("12"));
        QCOMPARE(d.texts.portNumberText(), QStringLiteral("12")); // typed text in no list stays

        QTest::keyClick(d.field("ComPort"), Qt::Key_Down); // a list entry chosen with the keyboard
        QVERIFY(d.texts.portNumberText() != QStringLiteral("12"));
        QCOMPARE(d.edits.size(), 2);
    }

    // No completion and no change of focus alters a field: what was typed, picked or loaded stays.
    void fieldsHoldWhatWasTypedOrPicked_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("loaded"); // empty: "Combo1" as at the first start
        QTest::addColumn<QString>("typed");  // empty: nothing typed
        QTest::addColumn<int>("key");        // then pressed in the field; Tab goes on round the dialog
        QTest::addColumn<QString>("expected");
        // The on/off field takes upper case as typed: what the next run loads is in force now.
        QTest::newRow("typed on, Tab") << "PortOnOff"
                                       << ""
                                       << "on" << int(Qt::Key_Tab) << "ON";
        QTest::newRow("typed on, Return") << "PortOnOff"
                                          << ""
                                          << "on" << int(Qt::Key_Return) << "ON";
        QTest::newRow("typed o, Tab") << "PortOnOff"
                                      << ""
                                      << "o" << int(Qt::Key_Tab) << "O";
        QTest::newRow("typed oFf, Tab") << "PortOnOff"
                                        << ""
                                        << "oFf" << int(Qt::Key_Tab) << "OFF";
        QTest::newRow("typed 7 - rts, Tab") << "DTR_RTS"
                                            << ""
                                            << "7 - rts" << int(Qt::Key_Tab) << "7 - rts";
        QTest::newRow("loaded 7 - rts, tabbed through") << "DTR_RTS"
                                                        << "7 - rts"
                                                        << "" << int(Qt::Key_Tab) << "7 - rts";
        QTest::newRow("set off, tabbed through") << "PortOnOff"
                                                 << "off"
                                                 << "" << int(Qt::Key_Tab) << "OFF";
        QTest::newRow("picked from the list") << "DTR_RTS"
                                              << ""
                                              << "" << int(Qt::Key_Down) << "4 - DTR";
    }
    void fieldsHoldWhatWasTypedOrPicked()
    {
        QFETCH(QString, field);
        QFETCH(QString, loaded);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, expected);
        Dialog d;
        d.dialog.showModeless();
        QVERIFY(QTest::qWaitForWindowActive(&d.dialog));
        if (field == "PortOnOff" && !loaded.isEmpty())
            d.texts.setOnOffText(loaded);
        if (field == "DTR_RTS" && !loaded.isEmpty())
            d.texts.setPinText(loaded);
        QComboBox* box = d.field(qPrintable(field));
        box->setFocus();
        if (!typed.isEmpty()) {
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), typed);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        for (int i = 0; key == Qt::Key_Tab && i < 4; ++i) // every field gains and loses the focus
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(box->currentText(), expected);
    }

    // Loaded before the controls are made (at start), the texts are what the fields then show.
    void loadedTextRaisesTheEditOnlyWhenItDiffers()
    {
        ComTexts texts;
        ComPort1 dialog{texts, [] { return QStringList(); }};
        QSignalSpy edits{&texts, &ComTexts::portNumberEdited};
        texts.setPortNumberText("Combo1");
        QCOMPARE(edits.size(), 0);
        texts.setPortNumberText("3");
        texts.setPinText("7 - RTS");
        QCOMPARE(edits.size(), 1);
        QVERIFY(!dialog.findChild<QComboBox*>());
        dialog.ensurePolished();
        const QStringList shown{dialog.findChild<QComboBox*>("ComPort")->currentText(),
                                dialog.findChild<QComboBox*>("PortOnOff")->currentText(),
                                dialog.findChild<QComboBox*>("DTR_RTS")->currentText()};
        QCOMPARE(shown, QStringList({"3", "Combo1", "7 - RTS"}));
        texts.setPortNumberText("3");
        QCOMPARE(edits.size(), 1);
        QCOMPARE(texts.pinText(), QStringLiteral("7 - RTS"));
    }

    void tooltipFollowsThePortNumber_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QString>("portNumber");
        QTest::addColumn<QString>("starts");
        QTest::addColumn<QString>("ends");
        const QStringList two{"/dev/ttyUSB0", "/dev/ttyS0"};
        const QString list = "\n  1: /dev/ttyUSB0\n  2: /dev/ttyS0";
        QTest::newRow("port 2") << two << "2"
                                << "Port 2 is /dev/ttyS0" << list;
        QTest::newRow("no port 7") << two << "7"
                                   << "\"7\" names no serial port" << list;
        QTest::newRow("COM3") << two << "COM3"
                              << "\"COM3\" names no serial port" << list;
        QTest::newRow("none found") << QStringList() << "1"
                                    << "\"1\" names no serial port"
                                    << "Serial ports now: none found";
        // What an adapter says of itself is shown as it is, never as markup.
        QTest::newRow("markup in a USB product name")
            << QStringList{"/dev/ttyUSB0 (<b>Acme</b> &amp; Co <i>UART, serial 1<2)"} << "1"
            << "Port 1 is /dev/ttyUSB0 (<b>Acme</b> &amp; Co <i>UART, serial 1<2)"
            << "1: /dev/ttyUSB0 (<b>Acme</b> &amp; Co <i>UART, serial 1<2)";
    }
    void tooltipFollowsThePortNumber()
    {
        QFETCH(QStringList, devices);
        QFETCH(QString, portNumber);
        QFETCH(QString, starts);
        QFETCH(QString, ends);
        ComTexts texts;
        ComPort1 dialog(texts, [devices] { return devices; });
        dialog.ensurePolished();
        texts.setPortNumberText(portNumber);
        const QString shown = shownText(dialog.findChild<QComboBox*>("ComPort")->toolTip());
        QVERIFY2(shown.startsWith(starts) && shown.endsWith(ends), qPrintable(shown));
    }
};

QTEST_MAIN(TestComDialog)
#include "tst_com_dialog.moc"
