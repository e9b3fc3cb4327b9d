#include "app/drawn_arrow_style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QStyleOption>

namespace timers {

namespace {
// An icon that is one of the style's arrows, drawn at whatever size is asked.
class ArrowIconEngine final : public QIconEngine {
public:
    explicit ArrowIconEngine(QStyle::PrimitiveElement arrow)
        : m_arrow(arrow)
    {
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State /*state*/) override
    {
        QStyleOption option;
        option.rect = rect;
        option.palette = QApplication::palette();
        option.state = mode == QIcon::Disabled ? QStyle::State_None : QStyle::State_Enabled;
        QApplication::style()->drawPrimitive(m_arrow, &option, painter);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, pixmap.rect(), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new ArrowIconEngine(m_arrow); }

private:
    QStyle::PrimitiveElement m_arrow;
};
} // namespace

QIcon DrawnArrowStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return QIcon(new ArrowIconEngine(PE_IndicatorArrowRight));
    if (icon == SP_ToolBarVerticalExtensionButton)
        return QIcon(new ArrowIconEngine(PE_IndicatorArrowDown));
    return QProxyStyle::standardIcon(icon, option, widget);
}

} // namespace timers
