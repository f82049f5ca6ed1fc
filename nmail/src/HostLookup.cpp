#include "HostLookup.h"

#include "Failures.h"
#include "nmail/NMail.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace nmail {

namespace {

// Shared by the caller and the worker, so that either may be the last to let go of it.
struct PendingLookup
{
    std::mutex mutex;
    std::condition_variable done;
    std::optional<QHostInfo> info;
};

Failure notFound(const QString& detail)
{
    return failure(Why::HostNotFound, detail);
}

} // namespace

Result<QList<QHostAddress>> lookUpHost(const QString& name, const QDeadlineTimer& deadline,
                                       const Resolver& resolve)
{
    if (QHostAddress literal; literal.setAddress(name)) {
        return QList<QHostAddress>{literal};
    }
    auto pending = std::make_shared<PendingLookup>();
    std::thread([pending, name, resolve] {
        QHostInfo info = resolve(name);
        const std::lock_guard lock(pending->mutex);
        pending->info = std::move(info);
        pending->done.notify_all();
    }).detach();

    std::unique_lock lock(pending->mutex);
    const auto answered = [&] { return pending->info.has_value(); };
    if (deadline.isForever()) {
        pending->done.wait(lock, answered);
    } else if (!pending->done.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()),
                                       answered)) {
        return failure(Why::LookupTimedOut, name);
    }
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
