// One IMAP check through the NMail functions, as the program makes it: connect, log in, EXAMINE
// and UID SEARCH UNSEEN, then the id and the headers of every unseen message, and LOGOUT.
// Prints one JSON line with the unseen count, the seconds the check took and the processor time
// it used (every thread of this process, the server's work not included): the median of the
// checks after the first few. The kitten runs for days and checks again and again; what a check
// costs it is what one costs once the TLS backend, the resolver and Qt's own first-use set-up are
// behind it, not the start of a program that makes one check and ends.
// With WARMUPS 0 and CHECKS 1 it is a program that makes one check and ends, to be timed from
// outside as a whole, as a script doing the same is.
//   bench_nmail_imap_check ADDRESS USER PASSWORD [CHECKS [WARMUPS]]
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ADDRESS USER PASSWORD [CHECKS [WARMUPS]]\n", argv[0]);
        return 2;
    }
    constexpr int TextSize = 8192;
    NMailInitializeWinSock();
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
    std::vector<char> id(TextSize), subject(TextSize), date(TextSize), from(TextSize),
        header(TextSize);

    int32_t count = 0;
    int failures = 0;
    const int checks = argc > 4 ? std::max(1, std::atoi(argv[4])) : 10;
    const int warmUps = argc > 5 ? std::max(0, std::atoi(argv[5])) : 5;
    std::vector<double> seconds, cpuSeconds;
    for (int run = 0; run < warmUps + checks; ++run) {
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
        if (run >= warmUps) {
            seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
            cpuSeconds.push_back(processorSeconds() - cpuStart);
        }
    }
    NMailEndWinSock();
    std::printf("{\"count\": %d, \"failures\": %d, \"seconds\": %.6f, \"cpu_seconds\": %.6f}\n",
                count, failures, median(seconds), median(cpuSeconds));
    return failures ? 1 : 0;
}
