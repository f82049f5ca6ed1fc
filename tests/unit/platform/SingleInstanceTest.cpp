#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// A caller of our own on the kitten's socket: connected, then says what it is told to.
int call(const QString& path, const QByteArray& words)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy(native.begin(), native.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::send(fd, words.constData(), size_t(words.size()), 0), words.size());
    return fd;
}

template <typename Done>
void processEventsUntil(Done done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
} // namespace

// The running kitten takes over a socket file left behind, answers only the one request, and
// a caller that says something else or nothing at all keeps no later start from getting
// through.
TEST(SingleInstance, OnlyTheRequestBringsTheKittenForwardAndNoCallerBlocksTheNext)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString socket = folder.filePath(QStringLiteral("mofurin.socket"));
    QFile leftBehind(socket);
    ASSERT_TRUE(leftBehind.open(QIODevice::WriteOnly));
    leftBehind.close();

    SingleInstance kitten(folder.path());
    int cameForward = 0;
    QObject::connect(&kitten, &SingleInstance::ComeForward, [&] { ++cameForward; });
    ASSERT_EQ(kitten.Start(), SingleInstance::Claim::First);

    const int stranger = call(socket, "hello there\n");
    const int silent = call(socket, "");
    char reply[8];
    ssize_t got = -1;
    processEventsUntil([&] {
        got = ::recv(stranger, reply, sizeof(reply), MSG_DONTWAIT);
        return got >= 0;
    });
    EXPECT_EQ(got, 0) << "hung up without an answer";
    ::close(stranger);
    EXPECT_EQ(cameForward, 0);

    // A second start (on a thread: it waits for the answer the kitten's event loop gives).
    auto second =
        std::async(std::launch::async, [&] { return SingleInstance(folder.path()).Start(); });
    processEventsUntil(
        [&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_EQ(second.get(), SingleInstance::Claim::Forwarded);
    EXPECT_EQ(cameForward, 1);
    ::close(silent);
}
