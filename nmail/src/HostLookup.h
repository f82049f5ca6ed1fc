#pragma once

#include "Cancellation.h"
#include "Result.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <functional>

namespace nmail {

// How a name becomes addresses; QHostInfo::fromName, the system resolver, unless a test hands
// in another.
using Resolver = std::function<QHostInfo(const QString& name)>;

// The addresses of a host, in the resolver's order. The system resolver blocks, bounded only
// by its own time-outs (several seconds per name server and attempt), so the lookup runs on a
// worker thread and the caller waits no longer than the deadline; a worker that is still
// waiting then is left to finish on its own, as is one when a cancel ends the wait. An address
// literal is its own answer.
Result<QList<QHostAddress>> lookUpHost(const QString& name, const QDeadlineTimer& deadline,
                                       const Resolver& resolve = QHostInfo::fromName,
                                       const Cancellation* cancel = nullptr);

} // namespace nmail
