#pragma once

#include <QProxyStyle>

namespace timers {

// The application's own style with one change: the arrow of the menu bar's overflow button
// is drawn by the style rather than read from an image file. Reading it made Qt load every
// image format plugin at start (and with them libjpeg, and Qt SVG where installed), for a
// button that shows only when the menus do not fit.
class DrawnArrowStyle final : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;
};

} // namespace timers
