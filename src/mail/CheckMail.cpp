#include "mail/CheckMail.h"

#include "mail/MailLibrary.h"
#include "mail/MsgForm.h"
#include "mail/TrimNull.h"
#include "mascot/MeowFlag.h"
#include "menu/DialUpHangUp.h"
#include "codepage/CodePage.h"
#include "platform/MessageBoxLook.h"
#include "settings/IdPassForm.h"
#include "settings/MailSettings.h"
#include "settings/ProfileFile.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

namespace {
constexpr int32_t TextBufferSize = 8192;

// The largest message buffer the check allocates. Nothing retrieved is kept, so a message the
// server claims to be larger than this is skipped rather than sized into gigabytes of spaces.
constexpr int64_t MaxMessageBuffer = 256 * 1024 * 1024;

// A modal box titled "エラー" with an OK button and no icon, as the login failure has always been
// reported.
void showLibraryError(MailLibrary& library, char* buffer)
{
    int32_t length = TextBufferSize;
    library.GetMessage(0, buffer, &length);
    buffer[TextBufferSize - 1] = '\0';
    QMessageBox box(
        QMessageBox::NoIcon, QStringLiteral("エラー"),
        TrimNull(FromCodePage(QByteArrayView(buffer, qstrnlen(buffer, TextBufferSize)))),
        QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MailErrorBox"));
    // The text is the server's or the system's own; the busy pointer of the check must not hide
    // that the box waits for the user.
    PrepareMessageBox(box);
    box.exec();
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
    std::array<std::vector<char>, 4> buffers;
    for (auto& b : buffers)
        b.assign(TextBufferSize, '\0');

    int32_t count = 0;
    {
        std::optional<Progress> progress;
        // 1. No server configured: no library call at all.
        if (!MailSettings.Pop3Server.isEmpty()) {
            progress.emplace(progressWindow);
            // 2. Connect. A failed connection makes no close call.
            const QByteArray host = ToCodePage(MailSettings.Pop3Server);
            const int32_t handle = library.Pop3Connect(host.constData());
            if (handle == -1) {
                // A connection that could not be made is not "no new mail": say why first.
                showLibraryError(library, buffers[0].data());
            } else {
                // 3. and 4. The account, read afresh from the account file every time.
                const QString path = AccountFilePath();
                const QString id =
                    Profile::GetString(path, QStringLiteral("EXEINI"), QStringLiteral("NAME"),
                                       QString(), AccountReadBuffer);
                const QString pass =
                    Profile::GetString(path, QStringLiteral("EXEINI"), QStringLiteral("NAME2"),
                                       QString(), AccountReadBuffer);
                IdPassForm& account = IdPassForm::Get();
                account.IdText->setText(id);
                account.PassText->setText(pass);
                MailSettings.UserId = id;
                MailSettings.UserPass = pass;

                if (MailSettings.UserId.isEmpty() || MailSettings.UserPass.isEmpty()) {
                    // 5. An incomplete account: ask for it, skip the login.
                    account.ShowModeless();
                } else {
                    // 6. Log in.
                    const QByteArray user = ToCodePage(MailSettings.UserId);
                    const QByteArray password = ToCodePage(MailSettings.UserPass);
                    count = library.Pop3Authenticate(handle, user.constData(), password.constData(),
                                                     MailSettings.UseApop != 0 ? -1 : 0);
                    // 7. Retrieve every waiting message, in ascending order.
                    for (int32_t n = 1; n <= count; ++n) {
                        library.Pop3GetMailStatus(handle, n, buffers[0].data(), buffers[1].data(),
                                                  buffers[2].data(), buffers[3].data(), 0);
                        const int32_t size = library.Pop3GetMailSize(handle, n);
                        // A negative or absurd size cannot size a buffer: skip that message.
                        if (size < 0 || size >= MaxMessageBuffer)
                            continue;
                        std::vector<char> body(static_cast<size_t>(size) + 1, ' ');
                        library.Pop3GetMail(handle, n, buffers[0].data(), buffers[1].data(),
                                            buffers[2].data(), buffers[3].data(), body.data(), 0,
                                            0);
                    }
                    // 8. A failed login: the library's reason.
                    if (count < 0)
                        showLibraryError(library, buffers[0].data());
                }
                // 9. Close on every path past the connect.
                library.Pop3Close(handle);
            }
        }
    }

    // 10. The report.
    MsgForm::Report(QString::number(count), count >= 1
                                                ? QStringLiteral("新着メールが有ります。")
                                                : QStringLiteral("新着メールはありませんでした。"));
    // 11. Mail waits: the kitten meows, as the bar's 鳴かす button does.
    if (count >= 1)
        MeowFlag = 1;
    // 12. The hang-up box, after every check.
    if (SetForm::Get().Check1->checkState() == Qt::Checked)
        HangUpAllDialUp(DefaultDialUpService());
}
