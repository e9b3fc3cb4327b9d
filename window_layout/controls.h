#pragma once

#include <QColor>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace timers {

// Return and keypad Enter on a focused push button click it, as Space does: users of the
// window system the program comes from expect it of a focused button (Qt leaves it to dialogs).
inline bool clickOnEnter(QWidget* focused, int key)
{
    auto* button = qobject_cast<QPushButton*>(focused);
    if (!button || !button->isEnabled() || (key != Qt::Key_Return && key != Qt::Key_Enter))
        return false;
    button->click();
    return true;
}

// The contrast ratio of two colours, as WCAG defines it: 1 (none) to 21 (black on white).
inline double contrastRatio(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](float v) { return v <= 0.04045F ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace timers
