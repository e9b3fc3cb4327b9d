#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QRect>
#include <QString>

namespace timers {

// Window layouts are given in twips: 1440 to the inch, 15 to the logical pixel at 96 dpi.
// Qt scales logical pixels on high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr int pixelsFromTwips(int twips) { return (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel); }

inline QRect rectFromTwips(int left, int top, int width, int height)
{
    return {pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width), pixelsFromTwips(height)};
}

// "MS Sans Serif" where it is installed, otherwise Liberation Sans (narrow enough for the fixed
// layout: wider faces such as DejaVu Sans clip "00" at 24 points), otherwise any sans-serif.
// Only the family that is there is named: for a missing one Qt would search fontconfig for its
// substitutes at the first text drawn. The installed families are looked at as they are:
// hasFamily() would first run the whole fontconfig configuration on the name, before the
// first window.
inline QFont captionFont(double points)
{
    static const QString family = QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"),
                                                                     Qt::CaseInsensitive)
                                    ? QStringLiteral("MS Sans Serif")
                                    : QStringLiteral("Liberation Sans");
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}

} // namespace timers
