#include "platform/Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace kelpa::platform {

namespace {

// The system colour indexes the palette has a role for.
QColor systemColor(int index)
{
    const QPalette palette = QGuiApplication::palette();
    switch (index) {
    case 5: // window
        return palette.color(QPalette::Base);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 16: // button shadow
        return palette.color(QPalette::Mid);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    default:
        return palette.color(QPalette::Text);
    }
}

} // namespace

QColor colorFromValue(qint32 value)
{
    const auto v = static_cast<quint32>(value);
    if (v & 0x80000000u) {
        const int index = static_cast<int>(v & 0xFFu);
        return index == 8 ? QColor() : systemColor(index);
    }
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

qint32 valueFromColor(const QColor &color)
{
    if (!color.isValid())
        return kWindowTextColorValue;
    return static_cast<qint32>(static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8)
                               | (static_cast<quint32>(color.blue()) << 16));
}

} // namespace kelpa::platform
