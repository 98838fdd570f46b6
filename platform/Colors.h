#pragma once
// Colour values as the settings files hold them: 0x00BBGGRR for a plain colour, or
// 0x80000000 plus a system colour index. "Window text" (index 8) is the invalid QColor, as the
// rich-text control takes it; other system colours are the application palette's.
#include <QColor>
#include <QtGlobal>

namespace kelpa::platform {

inline constexpr qint32 kWindowTextColorValue = static_cast<qint32>(0x80000008u);

QColor colorFromValue(qint32 value);
// An invalid colour gives the window-text value.
qint32 valueFromColor(const QColor &color);

} // namespace kelpa::platform
