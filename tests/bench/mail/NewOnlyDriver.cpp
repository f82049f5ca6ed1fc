// Mail checks as the program makes them (MailCheck with the real mail library), timed:
//   bench_mail_check_new_only [-n CHECKS] HOST USER PASSWORD whole
//   bench_mail_check_new_only [-n CHECKS] HOST USER PASSWORD new-only REPORTED [REMEMBER]
// "whole" walks every waiting message; "new-only" reports only what is not in the file REPORTED
// (one identity a line; a missing file is the first check) and, given REMEMBER, writes there
// what the last check says to keep. CHECKS (1 unless told) checks run one after the other in
// this process, as the kitten makes them: the first also pays for what the library sets up
// once (it loads the TLS library with its first connection). Prints one JSON line: the count
// the last check reported, the seconds of each check, and how often the last check called each
// library function that talks to the server.
#include "mail/MailCheck.h"
#include "mail/NMailLibrary.h"
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The real library, with the calls counted on the way through.
class CountingLibrary final : public MailLibrary
{
public:
    explicit CountingLibrary(MailLibrary& real) : m_real(real) {}
    int uidl = 0, headers = 0, sizes = 0, whole = 0;

    int32_t Pop3Connect(const char* host) override { return m_real.Pop3Connect(host); }
    int32_t Pop3NewHandle() override { return m_real.Pop3NewHandle(); }
    int32_t Pop3ConnectHandle(int32_t handle, const char* host) override
    {
        return m_real.Pop3ConnectHandle(handle, host);
    }
    int32_t Pop3Authenticate(int32_t handle, const char* userId, const char* password,
                             int32_t apop) override
    {
        return m_real.Pop3Authenticate(handle, userId, password, apop);
    }
    int32_t Pop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                              char* header, int32_t flag) override
    {
        ++headers;
        return m_real.Pop3GetMailStatus(handle, mailNo, subject, date, from, header, flag);
    }
    int32_t Pop3GetMailSize(int32_t handle, int32_t mailNo) override
    {
        ++sizes;
        return m_real.Pop3GetMailSize(handle, mailNo);
    }
    int32_t Pop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                        char* header, char* body, int32_t flag, int32_t reserved) override
    {
        ++whole;
        return m_real.Pop3GetMail(handle, mailNo, subject, date, from, header, body, flag,
                                  reserved);
    }
    int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) override
    {
        return m_real.GetMessage(kind, buffer, length);
    }
    int32_t Pop3Close(int32_t handle) override { return m_real.Pop3Close(handle); }
    int32_t GetLastResult() override { return m_real.GetLastResult(); }
    int32_t Pop3GetUidl(int32_t handle, int32_t mailNo, char* buffer) override
    {
        ++uidl;
        return m_real.Pop3GetUidl(handle, mailNo, buffer);
    }

private:
    MailLibrary& m_real;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int checks = 1;
    if (argc > 2 && std::strcmp(argv[1], "-n") == 0) {
        checks = std::max(1, std::atoi(argv[2]));
        argc -= 2;
        argv += 2;
    }
    const bool newOnly = argc >= 6 && std::strcmp(argv[4], "new-only") == 0;
    if (!newOnly && !(argc == 5 && std::strcmp(argv[4], "whole") == 0)) {
        std::fprintf(stderr,
                     "usage: bench_mail_check_new_only [-n CHECKS] HOST USER PASSWORD whole | "
                     "new-only REPORTED [REMEMBER]\n");
        return 2;
    }
    // As the program sets the library up at start.
    NMailInitializeWinSock();
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 8192);

    MailCheck::Request request;
    request.server = QString::fromLocal8Bit(argv[1]);
    request.newOnly = newOnly;
    if (newOnly) {
        QFile reported(QString::fromLocal8Bit(argv[5]));
        if (reported.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : reported.readAll().split('\n'))
                if (!line.isEmpty())
                    request.reported.insert(line);
        }
    }
    MailCheck::Hooks hooks;
    const MailAccount account{QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])};
    hooks.account = [account] { return account; };

    const std::unique_ptr<MailLibrary> nmailLibrary = MakeNMailLibrary();
    std::unique_ptr<CountingLibrary> library;
    MailCheck::Outcome outcome;
    QByteArray seconds;
    for (int i = 0; i < checks; ++i) {
        library = std::make_unique<CountingLibrary>(*nmailLibrary);
        MailCheck check(*library);
        QElapsedTimer clock;
        clock.start();
        outcome = check.run(request, hooks);
        seconds += (i ? ", " : "") + QByteArray::number(double(clock.nsecsElapsed()) / 1e9, 'f', 6);
        if (!outcome.connected || outcome.count < 0) {
            std::fprintf(stderr, "the check failed: %s\n", qPrintable(outcome.failure));
            return 1;
        }
    }
    NMailEndWinSock();

    if (newOnly && argc >= 7 && outcome.remember) {
        QFile remember(QString::fromLocal8Bit(argv[6]));
        if (!remember.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            remember.write(outcome.remember->join('\n') + '\n') < 0) {
            std::fprintf(stderr, "cannot write %s\n", argv[6]);
            return 1;
        }
    }
    std::printf("{\"count\": %d, \"seconds\": [%s], \"uidl_calls\": %d, \"header_calls\": %d, "
                "\"size_calls\": %d, \"whole_message_calls\": %d}\n",
                outcome.count, seconds.constData(), library->uidl, library->headers, library->sizes,
                library->whole);
    return 0;
}
