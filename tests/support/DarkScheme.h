#pragma once

#include <QColor>
#include <QPalette>

// A dark desktop colour scheme as a platform theme hands it to Qt (Breeze Dark's colours).
inline QPalette DarkScheme()
{
    QPalette palette(QColor(0x29, 0x2c, 0x30)); // buttons
    palette.setColor(QPalette::Window, QColor(0x20, 0x23, 0x26));
    palette.setColor(QPalette::WindowText, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::Base, QColor(0x14, 0x16, 0x18));
    palette.setColor(QPalette::Text, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::ButtonText, QColor(0xfc, 0xfc, 0xfc));
    return palette;
}
