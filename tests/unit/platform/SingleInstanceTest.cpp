#include "platform/SingleInstance.h"

#include "platform/PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// Where the guard lives when the session's runtime folder is missing or not the user's own:
// never a folder or link somebody else made, always one the user alone can reach, and two
// starts in such a session still find each other.
TEST(SingleInstance, LivesOnlyInAFolderOfTheUsersOwn)
{
    struct KeepEnvironment
    {
        QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), cache = qgetenv("XDG_CACHE_HOME");
        ~KeepEnvironment()
        {
            qputenv("XDG_RUNTIME_DIR", runtime);
            qputenv("XDG_CACHE_HOME", cache);
        }
    } keep;
    QTemporaryDir top;
    ASSERT_TRUE(top.isValid());
    const QString cache = top.filePath(QStringLiteral("cache"));
    const QString fallback = cache + QStringLiteral("/mofurin");
    const QString own = top.filePath(QStringLiteral("own"));
    const QString others = top.filePath(QStringLiteral("others"));
    const QString open = top.filePath(QStringLiteral("open"));
    const QString link = top.filePath(QStringLiteral("link"));
    for (const QString& folder : {own, others, open})
        ASSERT_TRUE(QDir().mkdir(folder));
    ::chmod(QFile::encodeName(own).constData(), 0700);
    ::chmod(QFile::encodeName(open).constData(), 01777);
    ::chmod(QFile::encodeName(others).constData(), 0700);
    ASSERT_TRUE(QFile::link(own, link));
    // Another user's folder: only root can make one here.
    const bool haveOthers = ::chown(QFile::encodeName(others).constData(), 65534, 65534) == 0;

    struct Row
    {
        const char* what;
        QString runtime;
        QString expected;
    };
    const Row rows[] = {
        {"private runtime folder", own, own},
        {"no runtime folder", QString(), fallback},
        {"relative runtime folder", QStringLiteral("own"), fallback},
        {"runtime folder open to all", open, fallback},
        {"runtime folder is a link", link, fallback},
        {"runtime folder of another user", others, fallback},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.runtime == others && !haveOthers)
            continue;
        QDir(fallback).removeRecursively();
        if (row.runtime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(row.runtime));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        EXPECT_EQ(PrivateRuntimeFolder(), row.expected);
        if (row.expected == fallback) {
            struct stat status;
            ASSERT_EQ(::lstat(QFile::encodeName(fallback).constData(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, 0700u);
        }
    }

    // The fallback itself taken by a link, or by another user's folder: no folder at all,
    // rather than one somebody else can reach.
    qunsetenv("XDG_RUNTIME_DIR");
    QDir(fallback).removeRecursively();
    ASSERT_TRUE(QFile::link(own, fallback));
    EXPECT_EQ(PrivateRuntimeFolder(), QString());
    ASSERT_TRUE(QFile::remove(fallback));
    if (haveOthers) {
        ASSERT_TRUE(QFile::rename(others, fallback));
        EXPECT_EQ(PrivateRuntimeFolder(), QString());
        ASSERT_TRUE(QFile::rename(fallback, others));
    }
    // A loose folder of the user's own is tightened, and two starts meet in it.
    ASSERT_TRUE(QDir().mkdir(fallback));
    ::chmod(QFile::encodeName(fallback).constData(), 0755);
    ASSERT_EQ(PrivateRuntimeFolder(), fallback);
    SingleInstance kitten(fallback);
    ASSERT_EQ(kitten.Start(), SingleInstance::Claim::First);
    auto second = std::async(std::launch::async,
                             [&] { return SingleInstance(PrivateRuntimeFolder()).Start(); });
    processEventsUntil(
        [&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_EQ(second.get(), SingleInstance::Claim::Forwarded);
}
