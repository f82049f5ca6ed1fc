#pragma once

#include <QString>

// The maker's homepage, offered by the bar's HP button.
inline QString HomepageUrl()
{
    return QStringLiteral("https://mofurin.example/");
}
