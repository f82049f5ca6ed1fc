#include "settings/DialogLook.h"

#include "platform/MessageBoxLook.h"
#include "platform/Twips.h"
#include "platform/WindowIcon.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

namespace {

// Answers "*" for the password character and leaves everything else to the application style.
class StarPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* starPasswordStyle()
{
    // One style for every password box; the application owns it, so it outlives every widget.
    static QPointer<QStyle> style;
    if (!style) {
        style = new StarPasswordStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

namespace DialogLook {

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(Twips::ToPixels(left, top, width, height));
}

void SetUpWindow(QDialog* dialog, int clientWidth, int clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::CustomizeWindowHint);
    dialog->setFixedSize(Twips::ToPixelsX(clientWidth), Twips::ToPixelsY(clientHeight));
    dialog->setSizeGripEnabled(false);
    dialog->setWindowIcon(DialogIcon());
    QFont font = QApplication::font(dialog);
    font.setPixelSize(FontPixelSize);
    dialog->setFont(font);
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - window->rect().center());
}

void FitLabel(QLabel* label)
{
    // The caption as drawn: a mnemonic's "&" takes no room.
    QString caption = label->text();
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    QFont font = label->font();
    // Horizontal stretch keeps the glyphs' height, so the text still fits the label's height;
    // below 70 % a smaller size takes over.
    for (int stretch = 100; stretch >= 70; stretch -= 5) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(caption) <= label->width()) {
            if (stretch < 100)
                label->setFont(font);
            return;
        }
    }
    while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(caption) > label->width())
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

namespace {

// Fits the labels of the dialog it is installed on at its first show, then removes itself.
class FitLabelsOnShow : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            for (QLabel* label : watched->findChildren<QLabel*>())
                FitLabel(label);
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void FitLabelsWhenFirstShown(QDialog* dialog)
{
    dialog->installEventFilter(new FitLabelsOnShow(dialog)); // owned by the dialog
}

void SetButtonColour(QPushButton* button, const QColor& colour)
{
    // A style sheet is the one way every Qt style honours to fill a push button; the border and
    // the pressed shade keep it looking like a button.
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black;"
                                         " border: 1px solid #404040; }"
                                         "QPushButton:pressed { background-color: %2; }"
                                         "QPushButton:focus { border: 2px solid black; }")
                              .arg(colour.name(), colour.darker(125).name()));
}

void MakeStarPasswordBox(QLineEdit* box)
{
    box->setStyle(starPasswordStyle());
    box->setEchoMode(QLineEdit::Password);
}

QIcon DialogIcon()
{
    return CommonIcon();
}

void OpenSaveErrorBox(QDialog* dialog, const QString& text)
{
    auto* box =
        new QMessageBox(QMessageBox::Warning, ErrorBoxTitle(), text, QMessageBox::Ok, dialog);
    box->setAttribute(Qt::WA_DeleteOnClose);
    PrepareMessageBox(*box);
    box->open();
}

} // namespace DialogLook
