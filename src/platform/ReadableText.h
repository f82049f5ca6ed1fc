#pragma once

#include <QColor>

class QWidget;

// Coloured text that stays readable on every colour scheme. The dialogs and the notice draw some
// texts in a colour of their own (blue); on a dark scheme that colour on a dark background can
// hardly be read, so the colour is lightened there, and only there.

// The colour to draw text of the given colour with on the given background: the colour itself
// where it stands out enough (a contrast ratio of at least 4.5 : 1, the WCAG threshold for body
// text), otherwise the same colour mixed with white on a dark background (with black on a light
// one), just as far as it takes.
QColor ReadableOn(const QColor& text, const QColor& background);

// The contrast ratio of two colours, from 1 (the same lightness) to 21 (black and white).
double ContrastRatio(const QColor& a, const QColor& b);

// Draws the widget's text (on its window background and in its text box) in the given colour,
// made readable against those backgrounds now and again whenever the widget's palette changes
// (the desktop switched to a dark scheme, or back).
void SetReadableTextColour(QWidget* widget, const QColor& colour);
