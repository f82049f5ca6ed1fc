#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Look and placement shared by the three settings dialogs. Their layouts are given in twips and
// converted to pixels here, at the widget boundary.
namespace DialogLook {

// Places a child widget at a rectangle given in twips.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

// Gives a dialog a fixed client area in twips, a fixed single border with a title bar and a
// close box (no resize, no minimise or maximise), the common icon and the dialogs' font.
void SetUpWindow(QDialog* dialog, int clientWidth, int clientHeight);

// Moves a top-level window so that its client area is centred on its screen.
void CentreOnScreen(QWidget* window);

// Narrows a label's font, when its caption is wider than the label, until the caption fits:
// the layout gives the widths a narrower UI font needed, and a label must not cut its text.
void FitLabel(QLabel* label);

// FitLabel for every label of the dialog, done the first time the dialog is shown rather than
// when it is built: measuring the captions loads the fonts (fontconfig and the Japanese font),
// which a dialog that start-up only loads hidden never needs.
void FitLabelsWhenFirstShown(QDialog* dialog);

// A button drawn filled with its own back colour, its caption in black so it stays readable.
void SetButtonColour(QPushButton* button, const QColor& colour);

// A password box that shows every character as "*" rather than the platform's bullet.
void MakeStarPasswordBox(QLineEdit* box);

// Opens a window-modal "エラー" box over dialog that says why its settings could not be saved;
// the dialog stays open with what was typed. The box deletes itself when closed.
void OpenSaveErrorBox(QDialog* dialog, const QString& text);

// The 32 x 32 kitten icon every window with a title bar shares.
QIcon DialogIcon();

// The layouts were drawn for a 9-point UI font (12-pixel glyphs); the dialogs use a 12-pixel
// font so their text fits the boxes at every screen resolution.
inline constexpr int FontPixelSize = 12;

} // namespace DialogLook
