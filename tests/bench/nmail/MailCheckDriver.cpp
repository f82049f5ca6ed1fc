// One mail check through the NMail functions, as the program makes it: connect, log in (STAT),
// then TOP n 0, LIST n and the whole message for every message, and QUIT. Prints one JSON line with
// the count, the bytes retrieved and the seconds the check took.
//   bench_nmail_check HOST USER PASSWORD [apop]
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s HOST USER PASSWORD [apop]\n", argv[0]);
        return 2;
    }
    constexpr int TextSize = 8192;
    NMailInitializeWinSock();
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
    std::vector<char> subject(TextSize), date(TextSize), from(TextSize), header(TextSize);

    QElapsedTimer clock;
    clock.start();
    const int32_t handle = NMailPop3Connect(argv[1]);
    if (handle < 0) {
        std::vector<char> text(TextSize);
        int32_t length = TextSize;
        NMailGetMessage(NMAIL_MESSAGE_LAST_ERROR, text.data(), &length);
        std::fprintf(stderr, "connect failed: %s\n", text.data());
        return 1;
    }
    const bool apop = argc > 4 && std::strcmp(argv[4], "apop") == 0;
    const int32_t count = NMailPop3Authenticate(handle, argv[2], argv[3], apop ? -1 : 0);
    long long bytes = 0;
    int failures = 0;
    for (int32_t n = 1; n <= count; ++n) {
        failures += NMailPop3GetMailStatus(handle, n, subject.data(), date.data(), from.data(),
                                           header.data(), 0) != NMAIL_OK;
        const int32_t size = NMailPop3GetMailSize(handle, n);
        if (size < 0) {
            ++failures;
            continue;
        }
        std::vector<char> body(size_t(size) + 1, ' ');
        failures += NMailPop3GetMail(handle, n, subject.data(), date.data(), from.data(),
                                     header.data(), body.data(), 0, 0) != NMAIL_OK;
        bytes += qint64(std::strlen(body.data()));
    }
    NMailPop3Close(handle);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    NMailEndWinSock();
    std::printf("{\"count\": %d, \"bytes\": %lld, \"failures\": %d, \"seconds\": %.6f}\n", count,
                bytes, failures, seconds);
    return count < 0 || failures ? 1 : 0;
}
