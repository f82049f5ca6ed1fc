#include "mail/CheckMail.h"

#include "app/ProcessValues.h"
#include "mail/AutoCheck.h"
#include "mail/MailCheck.h"
#include "mail/MailCheckRunner.h"
#include "mail/MailLibrary.h"
#include "mail/Mailbox.h"
#include "mail/MsgForm.h"
#include "mail/NewMailLines.h"
#include "mail/ReportedMailStore.h"
#include "mail/ServerTrust.h"
#include "menu/DialUpHangUp.h"
#include "nmail/NMail.h"
#include "platform/DesktopNotifier.h"
#include "platform/DesktopSecretStore.h"
#include "platform/MailProgram.h"
#include "platform/MessageBoxLook.h"
#include "platform/OnlineAccounts.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/PasswordPlace.h"
#include "settings/ProfileFile.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>
#include <memory>

namespace {
// A modal box titled "エラー" with an OK button and no icon, as the login failure has always been
// reported. The text is the server's or the system's own.
void showLibraryError(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, ErrorBoxTitle(), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MailErrorBox"));
    PrepareMessageBox(box);
    box.exec();
}

// A question about the server's security: Yes or No, No unless the user chooses otherwise.
bool askAboutTrust(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, ErrorBoxTitle(), text, QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("MailTrustBox"));
    box.setDefaultButton(QMessageBox::No);
    PrepareMessageBox(box);
    return box.exec() == QMessageBox::Yes;
}

QString describe(const MailCheck::Outcome::Certificate& certificate)
{
    return QCoreApplication::translate("CheckMail", "発行先: %1\n有効期間: %2\nSHA-256 指紋:\n%3")
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
        if (askAboutTrust(
                QMessageBox::Question,
                outcome.failure + QStringLiteral("\n\n") + describe(*outcome.certificate) +
                    QCoreApplication::translate("CheckMail",
                                                "\n\nこの証明書を、このサーバー(%1)についてだけ信頼"
                                                "しますか?\n指紋がサーバーの管理者の知らせるものと"
                                                "同じか確かめてから「はい」を押してください。")
                        .arg(ServerTrust::shownName(key))))
            trust.setPinnedCertificate(key, outcome.certificate->fingerprint);
        return;
    }
    if (outcome.failureCode == NMAIL_ERR_CERTIFICATE_CHANGED && outcome.certificate) {
        if (askAboutTrust(
                QMessageBox::Warning,
                QCoreApplication::translate("CheckMail", "警告: %1").arg(outcome.failure) +
                    QStringLiteral("\n\n") +
                    QCoreApplication::translate("CheckMail", "新しい証明書\n") +
                    describe(*outcome.certificate) +
                    QCoreApplication::translate(
                        "CheckMail", "\n\n信頼していた証明書の指紋:\n%1\n\nサーバーの管理"
                                     "者が証明書を替えたと確かめられたときだけ「はい」を押"
                                     "してください。新しい証明書を信頼しますか?")
                        .arg(trust.pinnedCertificate(key))))
            trust.setPinnedCertificate(key, outcome.certificate->fingerprint);
        return;
    }
    if (outcome.failureCode == NMAIL_ERR_TLS_MISSING && tlsDemanded) {
        if (askAboutTrust(QMessageBox::Warning,
                          QCoreApplication::translate(
                              "CheckMail",
                              "警告: このサーバー(%1)とは以前暗号化通信をしていましたが、"
                              "今回は暗号化(%2)が提供されていません。途中で誰かが暗"
                              "号化を妨げているおそれがあるため、パスワードを送らずに接"
                              "続をやめました。\n\nサーバーが暗号化をやめたと確かめら"
                              "れたときだけ「はい」を押してください。今後このサーバー"
                              "には暗号化なしで接続しますか?")
                              .arg(ServerTrust::shownName(key), Mailbox::IsImap(server)
                                                                    ? QStringLiteral("STARTTLS")
                                                                    : QStringLiteral("STLS"))))
            trust.forgetTls(key);
        return;
    }
    showLibraryError(outcome.failure);
}

// Shows the progress in the bar's caption and a busy pointer (the arrow with a working sign:
// the kitten, the bar and the dialogs stay usable meanwhile) while a check runs; both are put
// back when it ends. The bar is 158 pixels wide, and a window manager that centres the title
// on the whole bar leaves it little room beside the buttons (openbox: about 48 pixels, three
// kanji or seven digits); a longer caption is cut in the middle, which hides the number of the
// message being read. So the caption is "受信中" until the first message, then only which
// message of how many ("3/12通": a bare "3/12" reads as a date).
class Progress
{
    Q_DECLARE_TR_FUNCTIONS(Progress)

public:
    explicit Progress(QWidget* window) : m_window(window)
    {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        if (m_window) {
            m_caption = m_window->windowTitle();
            m_window->setWindowTitle(tr("受信中"));
        }
    }
    ~Progress() { end(); }
    // Puts the caption and the pointer back; once.
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        if (m_window)
            m_window->setWindowTitle(m_caption);
        QApplication::restoreOverrideCursor();
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void message(int32_t n, int32_t total)
    {
        if (m_window && !m_ended)
            m_window->setWindowTitle(tr("%1/%n通", nullptr, total).arg(n));
    }

private:
    QPointer<QWidget> m_window;
    QString m_caption;
    bool m_ended = false;
};

MailCheckRunner& runner()
{
    static auto* instance = new MailCheckRunner; // lives until the process ends
    return *instance;
}

// An automatic check's failure is shown once; then the checks stay quiet until one succeeds,
// so a server that is down for an hour does not bring a box every few minutes.
bool g_automaticFailureShown = false;

// A box the user did not ask for: above the program's windows, but it does not take the
// keyboard from the user's work, blocks none of the program's windows, and nothing waits for it.
void showQuietly(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, ErrorBoxTitle(), text, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("MailErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    // A message box is modal from its making; this one must not hold the kitten and its bar
    // still while the user is away.
    box->setWindowModality(Qt::NonModal);
    PrepareMessageBox(*box);
    box->show();
}

void automaticFailure(const QString& text)
{
    if (g_automaticFailureShown)
        return;
    g_automaticFailureShown = true;
    showQuietly(QCoreApplication::translate("CheckMail", "自動チェック: %1").arg(text));
}

// A failure told as the check's kind tells it: a box at once for a check the user asked for,
// the quiet box (once) for an automatic one.
void tellFailure(bool byUser, const QString& text)
{
    if (byUser)
        showLibraryError(text);
    else
        automaticFailure(text);
}

// The hang-up box, after every check the user asked for and every check that ran.
void hangUpWhenTicked()
{
    if (SetForm::Get().Check1->checkState() == Qt::Checked)
        HangUpAllDialUp(DefaultDialUpService());
}

// Opens the user's mail program, from a click on a notification of new mail: the command of
// MAILER= in the options file, or else the desktop's mail program.
void openMailProgram()
{
    const QString mailer =
        Profile::GetString(OptionsFilePath(), QStringLiteral("MOFURIN"), QStringLiteral("MAILER"));
    QString error;
    if (!MailProgram::Open(mailer, &error))
        showLibraryError(error);
}

DesktopNotifier& notifier()
{
    static auto* instance = [] {
        auto* made = new DesktopNotifier; // lives until the process ends
        QObject::connect(made, &DesktopNotifier::opened, made, &openMailProgram);
        return made;
    }();
    return *instance;
}

// What a check needs from this thread before it starts, and what its outcome is shown with.
struct Started
{
    CheckKind kind;
    QString server;
    MailAccount account;
    bool tlsSeen;
    bool tlsDemanded;
    std::shared_ptr<Progress> progress;
    PasswordPlace::Account saved; // as read for the check, with whether the keyring gave it
    QString desktopAccount;       // ACCOUNT as the check used it, when it names a desktop account
};

// The desktop account chosen is gone, or no longer offers mail: the choice goes back to
// 使わない, in the file too, unless the user chose another one meanwhile.
void giveUpDesktopAccount(const QString& used)
{
    MofurinOptions options = LiveOptions::Get().value();
    if (options.account != used)
        return;
    options.account.clear();
    LiveOptions::Get().set(options);
    options.Write(OptionsFilePath());
}

void finishCheck(const Started& started, const MailCheck::Outcome& outcome)
{
    started.progress->end();
    // A cancelled check reports nothing: the user asked it to stop.
    if (outcome.cancelled)
        return;
    const bool byUser = started.kind == CheckKind::ByUser;
    // A desktop account's server is the service's: the server field's trust is not its.
    const bool desktop = !started.desktopAccount.isEmpty();
    if (outcome.desktopAccountGone)
        giveUpDesktopAccount(started.desktopAccount);
    ServerTrust trust(ServerTrustFilePath());
    int32_t count = 0;
    if (!outcome.connected) {
        // A desktop account's certificate is trusted for its own server; its TLS is the
        // account's to demand.
        if (byUser && !desktop)
            reportConnectFailure(outcome, trust, started.server, started.tlsDemanded);
        else if (byUser)
            reportConnectFailure(outcome, trust, outcome.server, false);
        else
            automaticFailure(
                outcome.failure +
                QCoreApplication::translate("CheckMail", "\n\n受信を押すと、もう一度確かめます。"));
    } else {
        if (!desktop) {
            // The account dialog's boxes show what the check used.
            IdPassForm& dialog = IdPassForm::Get();
            dialog.ShowSavedAccount(started.saved);
            MailSettings.UserId = started.account.userId;
            MailSettings.UserPass = started.account.password;
            const QString key = ServerTrust::keyOf(started.server);
            if (outcome.encrypted && !started.tlsSeen)
                trust.setTlsSeen(key, true);
            if (outcome.accountIncomplete) {
                if (byUser)
                    dialog.ShowModeless();
                else
                    automaticFailure(QCoreApplication::translate(
                        "CheckMail", "IDかパスワードが保存されていません。"));
            }
        }
        count = outcome.count;
        // A connection lost while the messages were walked is a failed check, told as such;
        // the count the server gave at the login still stands.
        if (outcome.walkFailed)
            tellFailure(byUser, outcome.failure);
        else if (count >= 0 && !outcome.accountIncomplete)
            g_automaticFailureShown = false;
        if (outcome.remember && count >= 0) {
            // What was reported is kept only once the check went through; at worst a message
            // is reported twice, never missed.
            QString error;
            ReportedMailStore(MailDataFolderPath())
                .save(started.server, started.account.userId, *outcome.remember, &error);
        }
    }

    // The report: a check the user asked for always says how it went; an automatic one speaks
    // only when there is mail to report.
    const QStringList lines = NewMail::Lines(outcome.headlines, count);
    if (byUser || count >= 1) {
        MsgForm::Report(QString::number(count),
                        count >= 1
                            ? QCoreApplication::translate("CheckMail", "新着メールが有ります。")
                            : MsgForm::NoNewMail(),
                        byUser);
        MsgForm::Get().setToolTip(count >= 1 ? lines.join(u'\n') : QString());
    }
    // Mail waits: the kitten meows, as the bar's 鳴かす button does.
    if (count >= 1)
        MeowFlag = 1;
    if (count >= 1 && !lines.isEmpty() && LiveOptions::Get().value().notify)
        notifier().notify(lines);
    hangUpWhenTicked();
}
void start(MailLibrary& library, const MailCheck::Request& request, Started started,
           QWidget* progressWindow);
void checkDesktopAccount(QWidget* progressWindow, CheckKind kind, const MofurinOptions& options);
} // namespace

bool MailCheckRunning()
{
    return runner().running();
}

void CancelMailCheck()
{
    runner().cancel();
}

void CheckMail(QWidget* progressWindow, CheckKind kind)
{
    // One check at a time.
    if (runner().running())
        return;
    const bool byUser = kind == CheckKind::ByUser;
    const MofurinOptions& options = LiveOptions::Get().value();
    if (!options.desktopAccountId().isEmpty()) {
        checkDesktopAccount(progressWindow, kind, options);
        return;
    }

    // No server configured: no library call at all.
    if (MailSettings.Pop3Server.isEmpty()) {
        if (byUser) {
            MsgForm::Report(QStringLiteral("0"), MsgForm::NoNewMail());
            hangUpWhenTicked();
        }
        return;
    }

    MailLibrary& library = CurrentMailLibrary();
    Started started{kind, MailSettings.Pop3Server, {}, false, false, nullptr, {}, {}};
    ServerTrust trust(ServerTrustFilePath());
    const QString key = ServerTrust::keyOf(started.server);
    started.tlsSeen = trust.tlsSeen(key);
    const QByteArray pin = trust.pinnedCertificate(key).toLatin1();
    library.SetPinnedCertificate(ServerTrust::pinText(started.server).toUtf8().constData(),
                                 pin.isEmpty() ? nullptr : pin.constData());
    MailCheck::Request request;
    request.server = ServerTrust::connectText(started.server, trust.tlsExpected(key));
    started.tlsDemanded = request.server != started.server;
    request.apop = MailSettings.UseApop != 0;

    // The account, read afresh for every check: the password from the desktop's keyring when
    // the user keeps it there. A keyring that does not answer is said; the check then finds the
    // password missing and the account dialog asks for it.
    const PasswordPlace::Account saved = PasswordPlace(DesktopSecretStore()).Read();
    if (!saved.message.isEmpty())
        tellFailure(byUser, saved.message);
    started.account = {saved.id, saved.password};
    started.saved = saved;

    request.newOnly = options.newOnly;
    if (request.newOnly)
        request.reported = ReportedMailStore(MailDataFolderPath()).load(started.server, saved.id);

    start(library, request, std::move(started), progressWindow);
}

namespace {

void start(MailLibrary& library, const MailCheck::Request& request, Started started,
           QWidget* progressWindow)
{
    const bool byUser = started.kind == CheckKind::ByUser;
    started.progress = std::make_shared<Progress>(progressWindow);
    MailCheckRunner::Callbacks callbacks;
    const std::shared_ptr<Progress> progress = started.progress;
    callbacks.progress = [progress](int32_t n, int32_t total) { progress->message(n, total); };
    // Before the connection closes, as a failed login has always been told.
    callbacks.loginFailed = [byUser](const MailCheck::Outcome& failed) {
        tellFailure(byUser, failed.failure);
    };
    callbacks.finished = [started](const MailCheck::Outcome& outcome) {
        finishCheck(started, outcome);
    };
    runner().start(library, request, started.account, std::move(callbacks));
}

// A check with the desktop account chosen in 設定: the service gives its server, user name and
// credentials on the check's thread; the server field, the account dialog and the keyring are
// not asked. What it reported is kept under the account's Id.
void checkDesktopAccount(QWidget* progressWindow, CheckKind kind, const MofurinOptions& options)
{
    Started started{kind, options.account, {}, false, false, nullptr, {}, options.account};
    started.account.userId = options.desktopAccountId();
    MailCheck::Request request;
    request.desktopAccountId = options.desktopAccountId();
    request.accounts = &DesktopAccounts();
    // A certificate the user trusted for the account's server, as the list last gave it: the
    // check asks the service again, and a server that moved meanwhile is trusted as the
    // system trusts it.
    for (const OnlineAccount& account : request.accounts->accounts()) {
        if (account.id != request.desktopAccountId)
            continue;
        const QString server = account.serverAddress();
        const QByteArray pin = ServerTrust(ServerTrustFilePath())
                                   .pinnedCertificate(ServerTrust::keyOf(server))
                                   .toLatin1();
        CurrentMailLibrary().SetPinnedCertificate(ServerTrust::pinText(server).toUtf8().constData(),
                                                  pin.isEmpty() ? nullptr : pin.constData());
    }
    request.newOnly = options.newOnly;
    if (request.newOnly)
        request.reported =
            ReportedMailStore(MailDataFolderPath()).load(started.server, started.account.userId);
    start(CurrentMailLibrary(), request, std::move(started), progressWindow);
}

} // namespace

namespace {
AutoCheck& autoClock()
{
    // Lives until the process ends.
    static auto* clock = new AutoCheck([] { CheckMail(nullptr, CheckKind::Automatic); });
    return *clock;
}
} // namespace

void StartAutoCheck()
{
    AutoCheck& clock = autoClock();
    clock.setMinutes(LiveOptions::Get().value().autoCheckMinutes);
    QObject::connect(&LiveOptions::Get(), &LiveOptions::changed, &clock,
                     [] { autoClock().setMinutes(LiveOptions::Get().value().autoCheckMinutes); });
}

void HoldAutoCheck(bool held)
{
    autoClock().setHeld(held);
}
