#include "platform/ReadableText.h"

#include <QEvent>
#include <QPalette>
#include <QWidget>
#include <cmath>

namespace {

constexpr double MinimumContrast = 4.5;

// Relative luminance of an sRGB colour (WCAG 2), from 0 for black to 1 for white.
double luminance(const QColor& colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

QColor mixed(const QColor& from, const QColor& to, double share)
{
    const auto channel = [share](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

// Finds the keeper of a widget coloured before (the class has no meta-object of its own).
const QString KeeperName = QStringLiteral("mofurin_readable_text");

// Lives as a child of its widget and keeps the widget's text colour readable on the widget's
// current backgrounds.
class ReadableTextKeeper : public QObject
{
public:
    ReadableTextKeeper(QWidget& widget, const QColor& colour) : QObject(&widget), m_colour(colour)
    {
        setObjectName(KeeperName);
        widget.installEventFilter(this);
    }

    void setColour(const QColor& colour) { m_colour = colour; }

    void apply(QWidget& widget)
    {
        QPalette palette = widget.palette();
        palette.setColor(QPalette::WindowText,
                         ReadableOn(m_colour, palette.color(QPalette::Window)));
        palette.setColor(QPalette::Text, ReadableOn(m_colour, palette.color(QPalette::Base)));
        // An unchanged palette sends no further change, so this ends after one round.
        widget.setPalette(palette);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange)
            apply(static_cast<QWidget&>(*watched));
        return false;
    }

private:
    QColor m_colour;
};

} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background)
{
    if (ContrastRatio(text, background) >= MinimumContrast)
        return text;
    // Towards white on a background darker than the middle grey, towards black otherwise;
    // the one of the two that can reach the contrast at all (white on black reaches 21).
    const QColor end = luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 1; step < 20; ++step) {
        const QColor candidate = mixed(text, end, step / 20.0);
        if (ContrastRatio(candidate, background) >= MinimumContrast)
            return candidate;
    }
    return end;
}

void SetReadableTextColour(QWidget* widget, const QColor& colour)
{
    auto* keeper = static_cast<ReadableTextKeeper*>(
        widget->findChild<QObject*>(KeeperName, Qt::FindDirectChildrenOnly));
    if (keeper)
        keeper->setColour(colour);
    else
        keeper = new ReadableTextKeeper(*widget, colour); // owned by the widget
    keeper->apply(*widget);
}
