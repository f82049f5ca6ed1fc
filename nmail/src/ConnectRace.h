#pragma once

#include "Cancellation.h"
#include "Result.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>

namespace nmail {

// The attempt that won a race: a connected native socket, owned by the caller from now on.
struct RaceWinner
{
    qintptr descriptor = -1;
    QHostAddress address;
};

// Connects to port at one of the addresses the way RFC 8305 (Happy Eyeballs) describes. The
// addresses are tried with their families interleaved, the first address's family first
// (§4); a new attempt starts staggerMs after the one before it without waiting for it to fail
// (§5), or at once when every running attempt has failed; the first attempt that connects wins
// and the others are closed. A host whose first address is a black hole (an IPv6 route that
// drops everything, say) is thus reached through its next address long before the deadline.
// A cancel ends the race at once (Why::Cancelled), every attempt closed.
Result<RaceWinner> raceConnect(const QList<QHostAddress>& addresses, quint16 port,
                               const QDeadlineTimer& deadline, const Cancellation* cancel = nullptr,
                               int staggerMs = 250);

// Closes a descriptor that raceConnect handed out and nobody adopted.
void closeDescriptor(qintptr descriptor);

} // namespace nmail
