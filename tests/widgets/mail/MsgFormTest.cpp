#include "mail/MsgForm.h"

#include "app/ProcessValues.h"
#include "platform/ReadableText.h"
#include "platform/Twips.h"
#include "support/ChangedServices.h"
#include "support/DarkScheme.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

TEST(MsgForm, OneWindowCentredTopmostReusedUntilClosed)
{
    const ChangedServices at96Dpi([](Services& s) { s.twipsPerPixelX = s.twipsPerPixelY = 15; });
    QApplication::setQuitOnLastWindowClosed(false);
    MsgForm::Report(QStringLiteral("3"), QStringLiteral("新着メールが有ります。"));
    MsgForm& form = MsgForm::Get();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("新着お知らせ"));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.size(), QSize(242, 18));
    EXPECT_EQ(form.Text1->geometry(), QRect(0, 0, 209, 18));
    EXPECT_EQ(form.Text2->geometry(), QRect(208, 0, 33, 18));
    EXPECT_EQ(form.Text1->palette().color(QPalette::Text), QColor(0, 0, 255));
    // On a dark scheme the blue message is lightened until it can be read on the dark box.
    const QPalette light = QApplication::palette();
    QApplication::setPalette(DarkScheme());
    QApplication::processEvents(); // the change reaches the windows as posted events
    EXPECT_GE(ContrastRatio(form.Text1->palette().color(QPalette::Text),
                            form.Text1->palette().color(QPalette::Base)),
              4.5);
    QApplication::setPalette(light);
    QApplication::processEvents();
    EXPECT_EQ(form.Text2->text(), QStringLiteral("3"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("新着メールが有ります。"));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((form.geometry().center() - centre).manhattanLength(), 2);

    // A second report reuses the open window where the user left it.
    form.move(10, 20);
    MsgForm::Report(QStringLiteral("0"), QStringLiteral("新着メールはありませんでした。"));
    EXPECT_EQ(&MsgForm::Get(), &form);
    EXPECT_EQ(form.pos(), QPoint(10, 20));
    EXPECT_EQ(form.Text2->text(), QStringLiteral("0"));

    // Closing ends the meowing and destroys the window; the next report starts afresh.
    MeowFlag = 1;
    form.close();
    EXPECT_EQ(MeowFlag, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(MsgForm::Exists());
    MsgForm::Report(QStringLiteral("1"), QStringLiteral("新着メールが有ります。"));
    EXPECT_LE((MsgForm::Get().geometry().center() - centre).manhattanLength(), 2);
    MsgForm::Get().close();
}

// The tooltip lists senders and subjects from outside. Shown as markup, a subject could make
// the notice read a device (<img src=/dev/zero>) or show a program warning that is not one.
TEST(MsgForm, TheTooltipShowsMailHeadersAsWrittenNeverAsMarkup)
{
    QApplication::setQuitOnLastWindowClosed(false);
    MsgForm::Report(QStringLiteral("2"), QStringLiteral("新着メールが有ります。"));
    MsgForm& form = MsgForm::Get();
    const QString lines = u"<h1 style=\"color:red\">パスワードの期限が切れました</h1> — "
                          u"<b>x</b> &amp;\n"
                          u"たま — <img src=/nonexistent/picture.png>  two  blanks"_qs;
    form.setToolTip(lines);
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), form.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form.Text1, &hover);
    QLabel* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("qtooltip_label") && w->isVisible())
            tip = qobject_cast<QLabel*>(w);
    ASSERT_NE(tip, nullptr);
    // What the label lays out: its text as it reads it, every character as it came.
    QTextDocument shown;
    if (tip->textFormat() == Qt::PlainText ||
        (tip->textFormat() == Qt::AutoText && !Qt::mightBeRichText(tip->text())))
        shown.setPlainText(tip->text());
    else
        shown.setHtml(tip->text());
    EXPECT_EQ(shown.toPlainText(), lines);
    EXPECT_EQ(form.toolTip(), lines) << "the tooltip itself stays the plain lines";
    QToolTip::hideText();
    form.close();
}
