#include "HostLookup.h"

#include "Failures.h"
#include "nmail/NMail.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace nmail {

namespace {

// Shared by the caller and the worker, so that either may be the last to let go of it. The
// worker's answer is signalled on a descriptor, so the caller can wait for it and a cancel at
// once.
struct PendingLookup
{
    PendingLookup() : done(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~PendingLookup()
    {
        if (done >= 0) {
            ::close(done);
        }
    }
    PendingLookup(const PendingLookup&) = delete;
    PendingLookup& operator=(const PendingLookup&) = delete;

    std::mutex mutex;
    const int done;
    std::optional<QHostInfo> info;
};

Failure notFound(const QString& detail)
{
    return failure(Why::HostNotFound, detail);
}

} // namespace

Result<QList<QHostAddress>> lookUpHost(const QString& name, const QDeadlineTimer& deadline,
                                       const Resolver& resolve, const Cancellation* cancel)
{
    if (QHostAddress literal; literal.setAddress(name)) {
        return QList<QHostAddress>{literal};
    }
    auto pending = std::make_shared<PendingLookup>();
    if (pending->done < 0) {
        return failure(Why::ConnectFailed, QString::fromLocal8Bit(std::strerror(errno)));
    }
    std::thread([pending, name, resolve] {
        QHostInfo info = resolve(name);
        const std::lock_guard lock(pending->mutex);
        pending->info = std::move(info);
        (void)::eventfd_write(pending->done, 1);
    }).detach();

    for (;;) {
        std::vector<pollfd> watched{{pending->done, POLLIN, 0}};
        const qint64 left = deadline.remainingTime();
        const int ready =
            pollOrCancel(watched, left < 0 ? -1 : int(qMin<qint64>(left, INT32_MAX)), cancel);
        if (cancel && cancel->cancelled()) {
            return failure(Why::Cancelled);
        }
        if (ready > 0) {
            break;
        }
        if (ready == 0 || errno != EINTR) {
            return failure(Why::LookupTimedOut, name);
        }
    }
    const std::lock_guard lock(pending->mutex);
    const QHostInfo& info = *pending->info;
    if (info.error() != QHostInfo::NoError) {
        return notFound(info.errorString());
    }
    if (info.addresses().isEmpty()) {
        return notFound(name);
    }
    return info.addresses();
}

} // namespace nmail
