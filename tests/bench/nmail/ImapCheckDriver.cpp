// One IMAP check through the NMail functions, as the program makes it: connect, log in, EXAMINE
// and UID SEARCH UNSEEN, then the id and the headers of every unseen message, and LOGOUT.
// Prints one JSON line with the unseen count, the seconds the check took and the processor time
// it used (every thread of this process, the server's work not included). A first check runs
// untimed: the kitten runs for days, and loads the TLS backend and resolver once, not per check.
//   bench_nmail_imap_check ADDRESS USER PASSWORD
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ADDRESS USER PASSWORD\n", argv[0]);
        return 2;
    }
    constexpr int TextSize = 8192;
    NMailInitializeWinSock();
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
    std::vector<char> id(TextSize), subject(TextSize), date(TextSize), from(TextSize),
        header(TextSize);

    int32_t count = 0;
    int failures = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = processorSeconds();
        const int32_t handle = NMailPop3NewHandle();
        count = NMailImapConnectHandle(handle, argv[1]);
        if (count == NMAIL_OK)
            count = NMailImapAuthenticate(handle, argv[2], argv[3], NMAIL_IMAP_PASSWORD);
        if (count < 0) {
            std::vector<char> text(TextSize);
            int32_t length = TextSize;
            NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, text.data(), &length);
            std::fprintf(stderr, "check failed (%d): %s\n", count, text.data());
            return 1;
        }
        failures = 0;
        for (int32_t n = 1; n <= count; ++n) {
            failures += NMailImapGetUnseenId(handle, n, id.data()) != NMAIL_OK;
            failures += NMailImapGetMailStatus(handle, n, subject.data(), date.data(), from.data(),
                                               header.data()) != NMAIL_OK;
        }
        NMailPop3Close(handle);
        seconds = double(clock.nsecsElapsed()) / 1e9;
        cpuSeconds = processorSeconds() - cpuStart;
    }
    NMailEndWinSock();
    std::printf("{\"count\": %d, \"failures\": %d, \"seconds\": %.6f, \"cpu_seconds\": %.6f}\n",
                count, failures, seconds, cpuSeconds);
    return failures ? 1 : 0;
}
