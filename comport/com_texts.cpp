#include "comport/com_texts.h"

#include "comport/com_field.h"
#include "system/diagnostics.h"

namespace timers {

namespace {
const char* fieldName(ComTexts::Field field)
{
    switch (field) {
    case ComTexts::Field::PortNumber:
        return "port number";
    case ComTexts::Field::OnOff:
        return "on/off";
    case ComTexts::Field::Pin:
        return "output pin";
    }
    return "";
}
} // namespace

ComTexts::ComTexts(QObject* parent)
    : QObject(parent)
{
    for (Held& held : m_texts)
        held.text = kFieldStartText;
}

void ComTexts::setText(Field field, const QString& text)
{
    Held& held = m_texts[index(field)];
    if (text == held.text)
        return;
    held.text = text;
    Q_EMIT textSet(field, text);
    if (field == Field::PortNumber)
        Q_EMIT portNumberEdited(text);
}

void ComTexts::edited(Field field, const QString& text) { m_texts[index(field)].text = text; }

void ComTexts::portNumberTyped(const QString& text)
{
    edited(Field::PortNumber, text);
    Q_EMIT portNumberEdited(text);
}

void ComTexts::load(Field field, const std::string& bytes, std::size_t cutLineBytes)
{
    Held& held = m_texts[index(field)];
    QString text = QString::fromStdString(bytes);
    if (text.size() <= kFieldLength) {
        held.loadedText = text;
        held.loadedBytes = bytes;
    } else {
        // What the reader cut off counts too, a character a byte (as in the usual ASCII).
        const auto length = static_cast<long long>(text.size())
                          + (cutLineBytes != 0 ? static_cast<long long>(cutLineBytes - bytes.size()) : 0);
        qCWarning(lcTimers, "the %s value in the settings is %lld characters long; its field holds the first %lld",
                  fieldName(field), length, static_cast<long long>(kFieldLength));
        held.loadedText = QString(); // what is saved is what the field holds
        held.loadedBytes.clear();
        text.truncate(kFieldLength);
    }
    setText(field, text);
}

std::string ComTexts::bytesToSave(Field field) const
{
    const Held& held = m_texts[index(field)];
    return held.text == held.loadedText && !held.loadedText.isNull() ? held.loadedBytes : held.text.toStdString();
}

} // namespace timers
