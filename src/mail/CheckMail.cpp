#include "mail/CheckMail.h"

#include "codepage/CodePage.h"
#include "mail/MailCheck.h"
#include "mail/MailLibrary.h"
#include "mail/MsgForm.h"
#include "mail/ServerTrust.h"
#include "mascot/MeowFlag.h"
#include "menu/DialUpHangUp.h"
#include "nmail/NMail.h"
#include "platform/DesktopSecretStore.h"
#include "platform/MessageBoxLook.h"
#include "settings/IdPassForm.h"
#include "settings/MailSettings.h"
#include "settings/PasswordPlace.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>
#include <optional>

namespace {
// A modal box titled "エラー" with an OK button and no icon, as the login failure has always been
// reported. The text is the server's or the system's own.
void showLibraryError(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("エラー"), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MailErrorBox"));
    PrepareMessageBox(box);
    box.exec();
}

// A question about the server's security: Yes or No, No unless the user chooses otherwise.
bool askAboutTrust(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, QStringLiteral("エラー"), text, QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("MailTrustBox"));
    box.setDefaultButton(QMessageBox::No);
    PrepareMessageBox(box);
    return box.exec() == QMessageBox::Yes;
}

QString describe(const MailCheck::Outcome::Certificate& certificate)
{
    return QStringLiteral("発行先: %1\n有効期間: %2\nSHA-256 指紋:\n%3")
        .arg(certificate.subject, certificate.validity, certificate.fingerprint);
}

// A connection that failed is said, never hidden behind "no new mail". Where the server's
// security is why, the user decides: trust a certificate once for this server, or accept that
// a server which spoke TLS before no longer offers it. Either is remembered for the next check.
void reportConnectFailure(const MailCheck::Outcome& outcome, ServerTrust& trust,
                          const QString& server, bool tlsDemanded)
{
    const QString key = ServerTrust::keyOf(server);
    if (outcome.failureCode == NMAIL_ERR_CERTIFICATE && outcome.certificate) {
        if (askAboutTrust(QMessageBox::Question,
                          outcome.failure + QStringLiteral("\n\n") +
                              describe(*outcome.certificate) +
                              QStringLiteral("\n\nこの証明書を、このサーバー(%1)についてだけ信頼"
                                             "しますか?\n指紋がサーバーの管理者の知らせるものと"
                                             "同じか確かめてから「はい」を押してください。")
                                  .arg(key)))
            trust.setPinnedCertificate(key, outcome.certificate->fingerprint);
        return;
    }
    if (outcome.failureCode == NMAIL_ERR_CERTIFICATE_CHANGED && outcome.certificate) {
        if (askAboutTrust(QMessageBox::Warning,
                          QStringLiteral("警告: ") + outcome.failure + QStringLiteral("\n\n") +
                              QStringLiteral("新しい証明書\n") + describe(*outcome.certificate) +
                              QStringLiteral("\n\n信頼していた証明書の指紋:\n%1\n\nサーバーの管理"
                                             "者が証明書を替えたと確かめられたときだけ「はい」を押"
                                             "してください。新しい証明書を信頼しますか?")
                                  .arg(trust.pinnedCertificate(key))))
            trust.setPinnedCertificate(key, outcome.certificate->fingerprint);
        return;
    }
    if (outcome.failureCode == NMAIL_ERR_TLS_MISSING && tlsDemanded) {
        if (askAboutTrust(
                QMessageBox::Warning,
                QStringLiteral("警告: このサーバー(%1)とは以前暗号化通信をしていましたが、"
                               "今回は暗号化(STLS)が提供されていません。途中で誰かが暗"
                               "号化を妨げているおそれがあるため、パスワードを送らずに接"
                               "続をやめました。\n\nサーバーが暗号化をやめたと確かめら"
                               "れたときだけ「はい」を押してください。今後このサーバー"
                               "には暗号化なしで接続しますか?")
                    .arg(key)))
            trust.setTlsSeen(key, false);
        return;
    }
    showLibraryError(outcome.failure);
}

// Shows the progress text in the bar's caption and a busy pointer while the check blocks the
// event loop; both are put back when the check ends.
class Progress
{
public:
    explicit Progress(QWidget* window) : m_window(window)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (m_window) {
            m_caption = m_window->windowTitle();
            m_window->setWindowTitle(QStringLiteral("メールのチェックをしています。"));
        }
        // Both reach the X server at once (Qt flushes a new title and a new pointer itself), so
        // no pass of the event loop is needed here; one would let a due behaviour tick run its
        // meow, whose wait handles clicks, and so start a second check or close the bar inside
        // this one.
    }
    ~Progress()
    {
        if (m_window)
            m_window->setWindowTitle(m_caption);
        QApplication::restoreOverrideCursor();
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    QPointer<QWidget> m_window;
    QString m_caption;
};
} // namespace

void CheckMail(QWidget* progressWindow)
{
    // One check at a time. The error box waits for the user in an event loop, and whatever runs
    // there (a meow's wait handles clicks) must not start another check inside this one.
    static bool running = false;
    if (running)
        return;
    running = true;
    const auto done = qScopeGuard([] { running = false; });

    MailLibrary& library = CurrentMailLibrary();
    int32_t count = 0;
    {
        std::optional<Progress> progress;
        // No server configured: no library call at all.
        if (!MailSettings.Pop3Server.isEmpty()) {
            progress.emplace(progressWindow);
            const QString server = MailSettings.Pop3Server;
            ServerTrust trust(ServerTrustFilePath());
            const QString key = ServerTrust::keyOf(server);
            const bool tlsSeen = trust.tlsSeen(key);
            const QByteArray pin = trust.pinnedCertificate(key).toLatin1();
            library.SetPinnedCertificate(ToCodePage(server).constData(),
                                         pin.isEmpty() ? nullptr : pin.constData());
            const QString connectText = ServerTrust::connectText(server, tlsSeen);

            // The account, read afresh from the account file once the connection stands; the
            // account dialog's boxes show what the check uses.
            const auto account = [] {
                // The password comes from the desktop's keyring when the user keeps it there;
                // a keyring that does not answer is said, and the account dialog then asks.
                const PasswordPlace::Account saved = PasswordPlace(DesktopSecretStore()).Read();
                if (!saved.message.isEmpty())
                    showLibraryError(saved.message);
                const MailAccount stored{saved.id, saved.password};
                IdPassForm& dialog = IdPassForm::Get();
                dialog.IdText->setText(stored.userId);
                dialog.PassText->setText(stored.password);
                MailSettings.UserId = stored.userId;
                MailSettings.UserPass = stored.password;
                return stored;
            };
            // A failed login's reason, before the connection closes.
            const auto loginFailed = [](const MailCheck::Outcome& failed) {
                showLibraryError(failed.failure);
            };
            MailCheck check(library);
            const MailCheck::Outcome outcome =
                check.run(connectText, MailSettings.UseApop != 0, account, loginFailed);
            if (!outcome.connected) {
                reportConnectFailure(outcome, trust, server, connectText != server);
            } else {
                if (outcome.encrypted && !tlsSeen)
                    trust.setTlsSeen(key, true);
                // An incomplete account: ask for it.
                if (outcome.accountIncomplete)
                    IdPassForm::Get().ShowModeless();
                count = outcome.count;
            }
        }
    }

    // The report.
    MsgForm::Report(QString::number(count), count >= 1
                                                ? QStringLiteral("新着メールが有ります。")
                                                : QStringLiteral("新着メールはありませんでした。"));
    // Mail waits: the kitten meows, as the bar's 鳴かす button does.
    if (count >= 1)
        MeowFlag = 1;
    // The hang-up box, after every check.
    if (SetForm::Get().Check1->checkState() == Qt::Checked)
        HangUpAllDialUp(DefaultDialUpService());
}
