#pragma once

#include "app/ProcessValues.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "support/ChangedServices.h"
#include "support/FakeSecretStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

// Every dialog test runs against a fresh installation folder (with its ★MailData folder) that is
// also the current directory, so vbmail.ini lands there too, at 96 DPI.
class DialogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("★MailData")));
        m_oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        m_services.emplace([this](Services& s) {
            s.programFolder = m_dir.path();
            s.twipsPerPixelX = s.twipsPerPixelY = 15;
            s.secrets = &m_keyring;
        });
        MailSettings = MailSettingsRecord();
    }

    void TearDown() override
    {
        // Destroying a dialog without closing it is what the program's exit does.
        if (SetForm::Exists())
            delete &SetForm::Get();
        if (IdPassForm::Exists())
            delete &IdPassForm::Get();
        if (OptionForm::Exists())
            delete &OptionForm::Get();
        FlushDeletes();
        QDir::setCurrent(m_oldCurrent);
        m_services.reset();
    }

    static void FlushDeletes()
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The widget the Tab key goes to from the given one: the next in the focus chain that
    // takes focus by Tab.
    static QWidget* NextTabStop(QWidget* from)
    {
        QWidget* w = from->nextInFocusChain();
        while (w != from && !(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        return w;
    }

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString OptionsFile() const { return Path(QStringLiteral("★MailData/ini.ini")); }
    QString AccountFile() const { return Path(QStringLiteral("★MailData/iniIdPass.ini")); }
    QString ServerFile() const { return Path(QStringLiteral("vbmail.ini")); }

    static QByteArray ReadBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

    static void WriteBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // Text as the files hold it: code page 932.
    static QByteArray Cp932(const QString& text)
    {
        QStringEncoder encoder("windows-31j");
        QByteArray bytes = encoder.encode(text);
        EXPECT_FALSE(encoder.hasError());
        return bytes;
    }

    // Saves a picture of a dialog when MOFURIN_SCREENSHOT_DIR names a folder, for looking at
    // the rendering by eye.
    static void Screenshot(QWidget& window, const char* name)
    {
        const QString folder = qEnvironmentVariable("MOFURIN_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window.grab().save(
                QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
    }

    QTemporaryDir m_dir;
    FakeSecretStore m_keyring;
    std::optional<ChangedServices> m_services; // the folder, the scale and the keyring in use
    QString m_oldCurrent;
};
