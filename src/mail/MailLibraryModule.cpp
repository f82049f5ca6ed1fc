#include "mail/MailLibraryModule.h"

#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

MailLibraryModule::MailLibraryModule(const QString& programFolder)
    : m_module(QDir(programFolder).filePath(QStringLiteral("mofurin-mail")))
{
}

MailLibraryModule::~MailLibraryModule()
{
    // The module itself stays loaded until the process ends: Qt may still hold pointers into
    // it (its TLS backend, its socket engines).
    delete loaded();
}

MailLibrary* MailLibraryModule::library()
{
    if (MailLibrary* ready = loaded())
        return ready;
    std::lock_guard lock(m_mutex);
    if (m_tried)
        return loaded();
    m_tried = true;
    using Make = MailLibrary* (*)();
    MailLibrary* made = nullptr;
    if (auto make = reinterpret_cast<Make>(m_module.resolve(EntryPoint)))
        made = make();
    if (!made) {
        m_failure = QCoreApplication::translate("MailLibraryModule",
                                                "メールを受信する部品を読み込めません: %1")
                        .arg(m_module.errorString());
        std::fprintf(stderr, "%s\n", qUtf8Printable(m_failure));
        return nullptr;
    }
    for (const auto& [option, value] : m_options)
        made->SetOption(option, value);
    made->InitializeWinSock();
    m_loaded.store(made, std::memory_order_release);
    return made;
}

int32_t MailLibraryModule::InitializeWinSock()
{
    // Nothing to prepare before the module is there; it is prepared when it comes.
    if (MailLibrary* ready = loaded())
        return ready->InitializeWinSock();
    return NMAIL_OK;
}

int32_t MailLibraryModule::SetOption(int32_t option, int32_t value)
{
    {
        std::lock_guard lock(m_mutex);
        if (!loaded()) {
            // Checked as the library checks it, so the answer is the same now as later.
            if (value < 1 || option < NMAIL_OPTION_BUFFER_SIZE ||
                option > NMAIL_OPTION_TEXT_ENCODING ||
                (option == NMAIL_OPTION_TEXT_ENCODING && value != NMAIL_TEXT_CP932 &&
                 value != NMAIL_TEXT_UTF8))
                return NMAIL_ERR_ARGUMENT;
            m_options.emplace_back(option, value);
            return NMAIL_OK;
        }
    }
    return loaded()->SetOption(option, value);
}

int32_t MailLibraryModule::EndWinSock()
{
    if (MailLibrary* ready = loaded())
        return ready->EndWinSock();
    return NMAIL_OK;
}

int32_t MailLibraryModule::Pop3Connect(const char* host)
{
    MailLibrary* mail = library();
    return mail ? mail->Pop3Connect(host) : NMAIL_ERR_CONNECT;
}

int32_t MailLibraryModule::Pop3NewHandle()
{
    MailLibrary* mail = library();
    return mail ? mail->Pop3NewHandle() : NMAIL_ERR_CONNECT;
}

int32_t MailLibraryModule::Pop3ConnectHandle(int32_t handle, const char* host)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3ConnectHandle(handle, host) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::Pop3Authenticate(int32_t handle, const char* userId,
                                            const char* password, int32_t apop)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3Authenticate(handle, userId, password, apop) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::Pop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject,
                                             char* date, char* from, char* header, int32_t flag)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3GetMailStatus(handle, mailNo, subject, date, from, header, flag)
                : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::Pop3GetMailSize(int32_t handle, int32_t mailNo)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3GetMailSize(handle, mailNo) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::Pop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date,
                                       char* from, char* header, char* body, int32_t flag,
                                       int32_t reserved)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3GetMail(handle, mailNo, subject, date, from, header, body, flag,
                                    reserved)
                : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::GetMessage(int32_t kind, char* buffer, int32_t* length)
{
    if (MailLibrary* mail = loaded())
        return mail->GetMessage(kind, buffer, length);
    if (!buffer || !length || *length < 1)
        return NMAIL_ERR_ARGUMENT;
    // Before a load was tried there is no failure to tell; after a failed one, its reason.
    QByteArray text;
    if (kind == NMAIL_MESSAGE_LAST_ERROR) {
        std::lock_guard lock(m_mutex);
        text = m_failure.toUtf8();
    }
    // Cut between characters: never inside a UTF-8 sequence.
    qsizetype written = qMin(text.size(), qsizetype(*length - 1));
    while (written > 0 && written < text.size() && (uchar(text[written]) & 0xC0) == 0x80)
        --written;
    std::memcpy(buffer, text.constData(), size_t(written));
    buffer[written] = '\0';
    *length = int32_t(written);
    return NMAIL_OK;
}

int32_t MailLibraryModule::Pop3Close(int32_t handle)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3Close(handle) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::GetLastResult()
{
    if (MailLibrary* mail = loaded())
        return mail->GetLastResult();
    std::lock_guard lock(m_mutex);
    return m_tried ? NMAIL_ERR_CONNECT : NMAIL_OK;
}

int32_t MailLibraryModule::Pop3IsEncrypted(int32_t handle)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3IsEncrypted(handle) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::SetPinnedCertificate(const char* host, const char* fingerprint)
{
    MailLibrary* mail = library();
    return mail ? mail->SetPinnedCertificate(host, fingerprint) : NMAIL_ERR_CONNECT;
}

int32_t MailLibraryModule::Pop3GetUidl(int32_t handle, int32_t mailNo, char* buffer)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3GetUidl(handle, mailNo, buffer) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::Pop3Cancel(int32_t handle)
{
    MailLibrary* mail = loaded();
    return mail ? mail->Pop3Cancel(handle) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapConnectHandle(int32_t handle, const char* address)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapConnectHandle(handle, address) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapAuthenticate(int32_t handle, const char* user, const char* secret,
                                            int32_t how)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapAuthenticate(handle, user, secret, how) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapGetUnseenId(int32_t handle, int32_t index, char* buffer)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapGetUnseenId(handle, index, buffer) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapGetMailStatus(int32_t handle, int32_t index, char* subject,
                                             char* date, char* from, char* header)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapGetMailStatus(handle, index, subject, date, from, header)
                : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapHasIdle(int32_t handle)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapHasIdle(handle) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapIdle(int32_t handle, int32_t timeoutMs)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapIdle(handle, timeoutMs) : NMAIL_ERR_ARGUMENT;
}

int32_t MailLibraryModule::ImapRefresh(int32_t handle)
{
    MailLibrary* mail = loaded();
    return mail ? mail->ImapRefresh(handle) : NMAIL_ERR_ARGUMENT;
}
