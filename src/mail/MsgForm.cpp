#include "mail/MsgForm.h"

#include "app/ProcessValues.h"
#include "platform/ReadableText.h"
#include "platform/SingleWindow.h"
#include "platform/Twips.h"
#include "platform/WindowIcon.h"
#include "sound/PlayWave.h"
#include "sound/SoundService.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

namespace {
SingleWindow<MsgForm> g_form;

// Read-only, borderless boxes: the notice shows text, nobody types into it.
QLineEdit* reportBox(QWidget* parent, const QRect& geometry, const QString& text)
{
    auto* box = new QLineEdit(text, parent);
    box->setGeometry(geometry);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setTextMargins(2, 0, 2, 0);
    return box;
}
} // namespace

MsgForm::MsgForm()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                           Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("MsgForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("新着お知らせ"));
    setWindowIcon(CommonIcon());
    setFixedSize(Twips::ToPixelsX(3630), Twips::ToPixelsY(270));

    // The two boxes overlap by one pixel; the count box is drawn over the message box's edge.
    Text1 = reportBox(this, Twips::ToPixels(0, 0, 3135, 270), NoNewMail());
    Text2 = reportBox(this, Twips::ToPixels(3120, 0, 495, 270), QString());
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2->setObjectName(QStringLiteral("Text2"));
    SetReadableTextColour(Text1, QColor(0, 0, 255));
    Text2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text2->setStyleSheet(QStringLiteral("QLineEdit { border-left: 1px solid #a0a0a0; }"));
    setTabOrder(Text1, Text2);

    // Opens centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

MsgForm& MsgForm::Get()
{
    return g_form.get([] { return new MsgForm; });
}

bool MsgForm::Exists()
{
    return g_form.exists();
}

QString MsgForm::NoNewMail()
{
    return tr("新着メールはありませんでした。");
}

void MsgForm::Report(const QString& count, const QString& message, bool activate)
{
    MsgForm& form = Get();
    // The notice comes with the meowing: the sound output opens now, ahead of the first meow.
    PrepareSound();
    form.setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    form.show();
    form.raise();
    if (activate)
        form.activateWindow();
    form.Text2->setText(count);
    form.Text1->setText(message);
}

bool MsgForm::event(QEvent* event)
{
    // Qt shows a tooltip whose first line looks like markup as rich text: a subject such as
    // <img src=/dev/zero> would be loaded when the pointer rests on the notice, a heading would
    // stand out as a warning of this program's. The text is escaped into a paragraph that keeps
    // its line breaks and never wraps, which shows exactly the characters it holds.
    if (event->type() == QEvent::ToolTip && !toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("<p style=\"white-space:pre\">") +
                               toolTip().toHtmlEscaped() + QStringLiteral("</p>"),
                           this, QRect(), toolTipDuration());
        return true;
    }
    return QWidget::event(event);
}

void MsgForm::closeEvent(QCloseEvent* event)
{
    MeowFlag = 0;
    PlayWave(QString(), 0, 0, 0, -1);
    event->accept();
}
