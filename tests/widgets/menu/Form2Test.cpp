#include "menu/Form2.h"

#include "app/ProcessValues.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "support/ChangedServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

namespace {
class Form2Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.emplace([](Services& s) { s.twipsPerPixelX = s.twipsPerPixelY = 15; });
        QApplication::setQuitOnLastWindowClosed(false);
        kitten.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
        kitten.resize(100, 100);
        kitten.move(300, 200);
        kitten.show();
        MeowFlag = 0;
    }
    void TearDown() override
    {
        if (Form2* bar = Form2::Instance())
            bar->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::optional<ChangedServices> services; // the scale in use
    QWidget kitten;
};

// Answers the next modal message box with the given button.
void answerNextBox(QMessageBox::StandardButton button, QString* seenText = nullptr)
{
    QTimer::singleShot(50, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                if (seenText)
                    *seenText = box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(button)->click();
                return;
            }
        }
    });
}
} // namespace

TEST_F(Form2Test, OpensBelowTheKittenWithItsButtonsClippedAsDesigned)
{
    Form2& bar = Form2::Open(kitten);
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("モフリちゃん"));
    EXPECT_TRUE(bar.windowFlags() & Qt::WindowStaysOnTopHint);
    // 1600 twips below and 100 twips to the left of the kitten.
    EXPECT_EQ(bar.pos(), QPoint(300 - 7, 200 + 107));
    EXPECT_EQ(bar.size(), QSize(158, 15));
    EXPECT_EQ(bar.Command1->text(), QStringLiteral("鳴かす"));
    EXPECT_EQ(bar.Command2->text(), QStringLiteral("受信"));
    EXPECT_EQ(bar.Command3->text(), QStringLiteral("設定"));
    EXPECT_EQ(bar.Command4->text(), QStringLiteral("HP"));
    EXPECT_EQ(bar.Command2->geometry(), QRect(48, 0, 33, 17));
    // 切断 lies wholly below the client area; HP runs past the right edge.
    EXPECT_GE(bar.Command5->y(), bar.height());
    EXPECT_GT(bar.Command4->geometry().right(), bar.width() - 1);
    // Tab order starts at 受信.
    EXPECT_EQ(bar.Command2->nextInFocusChain(), bar.Command3);

    // A second double-click brings the same bar forward.
    EXPECT_EQ(&Form2::Open(kitten), &bar);
}

TEST_F(Form2Test, MovingTheBarCarriesTheKittenAndOtherMovesAreUndone)
{
    Form2& bar = Form2::Open(kitten);
    QApplication::processEvents();
    bar.move(500, 600);
    QApplication::processEvents();
    EXPECT_EQ(kitten.pos(), QPoint(500 + 7, 600 - 107));

    kitten.move(10, 10);
    QTest::qWait(20);
    EXPECT_EQ(kitten.pos(), QPoint(507, 493));

    // Closed, the bar lets go of the kitten.
    bar.close();
    QApplication::processEvents();
    kitten.move(10, 10);
    QTest::qWait(20);
    EXPECT_EQ(kitten.pos(), QPoint(10, 10));
}

TEST_F(Form2Test, HoverCaptionsStayUntilAnotherHover)
{
    Form2& bar = Form2::Open(kitten);
    QTest::mouseMove(bar.Command2, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("メールチェック"));
    QTest::mouseMove(bar.Command1, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("メールチェック"));
    QTest::mouseMove(bar.Command3, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("各種設定"));
    QTest::mouseMove(bar.Command4, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(bar.windowTitle(), QStringLiteral("作者のHP"));
}

TEST_F(Form2Test, MeowUntilTheBarCloses)
{
    Form2& bar = Form2::Open(kitten);
    QTest::mouseClick(bar.Command1, Qt::LeftButton);
    QTest::mouseClick(bar.Command1, Qt::LeftButton);
    EXPECT_EQ(MeowFlag, 1);
    bar.close();
    EXPECT_EQ(MeowFlag, 0);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Form2::Instance(), nullptr);

    // Re-opened, it is placed again relative to where the kitten is now.
    kitten.move(600, 100);
    Form2& again = Form2::Open(kitten);
    EXPECT_EQ(again.pos(), QPoint(593, 207));
}

TEST_F(Form2Test, TheHomepageOfferOpensTheBrowserOnlyOnYes)
{
    // A stand-in xdg-open on PATH records the address it is given.
    QTemporaryDir bin;
    const QString log = bin.filePath(QStringLiteral("opened.txt"));
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\n").arg(log).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);

    Form2& bar = Form2::Open(kitten);
    QString seen;
    answerNextBox(QMessageBox::No, &seen);
    bar.Command4_Click();
    EXPECT_EQ(seen,
              QStringLiteral("確認|「ミャウ工房」作者のホームページです。ちょっと見てみますか？"));
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(log));

    // The address handed to the browser exists: by default the page in the installation,
    // with every picture it shows.
    {
        const ChangedServices installed(
            [](Services& s) { s.programFolder = QStringLiteral(MOFURIN_INSTALL_DIR); });
        answerNextBox(QMessageBox::Yes);
        bar.Command4_Click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 5000);
    QFile opened(log);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    const QUrl address(QString::fromUtf8(opened.readAll().trimmed()));
    if (const QString web = QString::fromUtf8(MOFURIN_HOMEPAGE_URL); !web.isEmpty()) {
        EXPECT_EQ(address, QUrl(web)); // a build given the maker's web site
    } else {
        ASSERT_TRUE(address.isLocalFile()) << address.toString().toStdString();
        QFile page(address.toLocalFile());
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << address.toString().toStdString();
        const QString html = QString::fromUtf8(page.readAll());
        const QDir folder = QFileInfo(page).dir();
        QRegularExpressionMatchIterator pictures =
            QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(html);
        EXPECT_TRUE(pictures.hasNext());
        while (pictures.hasNext()) {
            const QString picture = pictures.next().captured(1);
            EXPECT_TRUE(folder.exists(picture)) << picture.toStdString();
        }
    }

    // No browser at all: the user is told so.
    QFile::remove(bin.filePath(QStringLiteral("xdg-open")));
    qputenv("PATH", bin.path().toUtf8());
    QString error;
    answerNextBox(QMessageBox::Yes);
    QTimer::singleShot(1500, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                error = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            }
    });
    bar.Command4_Click();
    qputenv("PATH", oldPath);
    EXPECT_EQ(error, QStringLiteral("エラー"));
}
