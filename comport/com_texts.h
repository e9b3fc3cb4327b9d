#pragma once

#include "output/com_settings.h"

#include <QObject>

#include <array>
#include <cstddef>
#include <string>

namespace timers {

// The three COM settings texts, kept in one place: the COM port dialog shows and edits them, the
// COM output reads them at the moment it needs them, and the settings file loads and saves them.
// A text left as it was loaded is saved as the bytes it came from, even where those were not
// valid UTF-8.
class ComTexts final : public QObject, public ComSettings {
    Q_OBJECT
public:
    enum class Field { PortNumber, OnOff, Pin };
    // What a field holds at most: QLineEdit's maxLength.
    static constexpr qsizetype kFieldLength = 32767;

    explicit ComTexts(QObject* parent = nullptr);

    QString text(Field field) const { return m_texts[index(field)].text; }
    QString portNumberText() const override { return text(Field::PortNumber); }
    QString onOffText() const override { return text(Field::OnOff); }
    QString pinText() const override { return text(Field::Pin); }

    // A text from outside (the load, a test): the dialog shows it. A port-number text other than
    // the one held counts as typed.
    void setText(Field field, const QString& text);
    void setPortNumberText(const QString& text) { setText(Field::PortNumber, text); }
    void setOnOffText(const QString& text) { setText(Field::OnOff, text); }
    void setPinText(const QString& text) { setText(Field::Pin, text); }
    // What the dialog's field shows now, typed or chosen from its list.
    void edited(Field field, const QString& text);
    // Typed into the port-number field (choosing a list entry does not count).
    void portNumberTyped(const QString& text);

    // The settings file's bytes for a field. `cutLineBytes`, when not 0, is the length the
    // line really had before the reader cut it (for the message about a text cut to the field).
    void load(Field field, const std::string& bytes, std::size_t cutLineBytes = 0);
    // What the settings file saves for a field: the loaded bytes while the text is unchanged.
    std::string bytesToSave(Field field) const;

Q_SIGNALS:
    // A text was set from outside: a field showing it shows the new text.
    void textSet(timers::ComTexts::Field field, const QString& text);
    // The port number was typed, or loaded: the COM output selects that port now.
    void portNumberEdited(const QString& text);

private:
    struct Held {
        QString text;
        QString loadedText; // null when nothing was loaded, or the field could not hold it
        std::string loadedBytes;
    };
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }

    std::array<Held, 3> m_texts;
};

} // namespace timers
