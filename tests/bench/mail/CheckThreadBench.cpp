// What a mail check costs the user-interface thread: a MailCheckRunner check of a Dovecot
// mailbox (1,000 messages of about 4 KB unless told otherwise, every one read whole), while a
// timer on this thread ticks every 10 ms as the kitten's windows would need it to. Two checks
// run one after the other. For each it prints the longest gap between two ticks during the
// check (the goal: at most 50 ms) and how far the resident memory rose over its value just
// before the check, sampled on every tick and as the kernel's peak (the goal: at most the
// largest message plus 8 MB).
//   bench_mail_check_thread [MESSAGES [SIZE]]
// Fails only when a check itself fails; the numbers are reported, not judged.
#include "mail/MailCheck.h"
#include "mail/MailCheckRunner.h"
#include "mail/NMailLibrary.h"
#include "nmail/NMail.h"
#include "support/DovecotFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
qint64 statusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 largestFile(const QString& folder)
{
    qint64 largest = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files))
        largest = std::max(largest, file.size());
    return largest;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int size = argc > 2 ? std::atoi(argv[2]) : 4096;

    DovecotFixture dovecot;
    QString error;
    const QByteArray config = QStringLiteral(R"({"tls": false, "users": {"bench": {
        "password": "bench", "messages": [{"count": %1, "size": %2}]}}})")
                                  .arg(messages)
                                  .arg(size)
                                  .toUtf8();
    if (!dovecot.start(config, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const qint64 largest = largestFile(dovecot.mailFolder + QStringLiteral("/bench/Maildir/cur"));
    NMailInitializeWinSock();
    NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, 8192);

    MailCheck::Request request;
    request.server = QStringLiteral("127.0.0.1:%1").arg(dovecot.pop3);
    const std::unique_ptr<MailLibrary> nmailLibrary = MakeNMailLibrary();
    MailCheckRunner runner;
    QElapsedTimer clock;
    // Two checks one after the other: the first also pays for loading what the mail library
    // needs (the network and TLS libraries are mapped in on first use), the second is a check
    // of a kitten that has checked before.
    struct Measure
    {
        qint64 started = 0, ended = 0, longestGap = 0, ticks = 0;
        qint64 rssBefore = 0, rssPeak = 0, hwm = 0;
        MailCheck::Outcome outcome;
    };
    Measure measures[2];
    int current = -1;
    bool checking = false;
    qint64 lastTick = -1;

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (checking) {
            Measure& m = measures[current];
            m.longestGap = std::max(m.longestGap, now - lastTick);
            ++m.ticks;
            m.rssPeak = std::max(m.rssPeak, statusKb("VmRSS"));
        }
        lastTick = now;
    });

    std::function<void()> startNext;
    MailCheckRunner::Callbacks callbacks;
    callbacks.finished = [&](const MailCheck::Outcome& result) {
        Measure& m = measures[current];
        m.ended = clock.nsecsElapsed();
        m.hwm = statusKb("VmHWM");
        m.outcome = result;
        checking = false;
        if (current + 1 < 2 && result.count == messages)
            QTimer::singleShot(250, startNext);
        else
            app.quit();
    };
    // A quarter of a second of ticking before each check, so the timer and this thread are
    // settled; then the resident memory before the check, with the kernel's peak reset to it.
    startNext = [&] {
        Measure& m = measures[++current];
        m.rssBefore = statusKb("VmRSS");
        m.rssPeak = m.rssBefore;
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
            std::fprintf(stderr, "cannot reset the peak resident size; VmHWM is the process's\n");
        checking = true;
        m.started = lastTick = clock.nsecsElapsed();
        runner.start(*nmailLibrary, request, {QStringLiteral("bench"), QStringLiteral("bench")},
                     callbacks);
    };
    QTimer::singleShot(250, startNext);
    QTimer::singleShot(600000, [&] { app.exit(1); }); // a check that never ends
    clock.start();
    tick.start();
    const int status = app.exec();
    NMailEndWinSock();

    const qint64 budgetKb = largest / 1024 + 8 * 1024;
    std::printf("mailbox: %d messages of about %d bytes, the largest %lld bytes; memory budget "
                "+%lld kB\n",
                messages, size, static_cast<long long>(largest), static_cast<long long>(budgetKb));
    for (int i = 0; i <= current; ++i) {
        const Measure& m = measures[i];
        if (status != 0 || !m.outcome.connected || m.outcome.count != messages) {
            std::fprintf(stderr, "check %d failed: %d of %d messages (%s)\n", i + 1,
                         m.outcome.count, messages, qPrintable(m.outcome.failure));
            return 1;
        }
        const double gapMs = double(m.longestGap) / 1e6;
        const qint64 growth = std::max(m.rssPeak, m.hwm) - m.rssBefore;
        std::printf(
            "%s check: %.3f s; %lld ticks, longest gap %.1f ms (goal: at most 50 ms; "
            "%s); resident %lld kB before, peak +%lld kB sampled, +%lld kB by the "
            "kernel (%s)\n",
            i == 0 ? "first" : "second", double(m.ended - m.started) / 1e9,
            static_cast<long long>(m.ticks), gapMs, gapMs <= 50 ? "met" : "NOT met",
            static_cast<long long>(m.rssBefore), static_cast<long long>(m.rssPeak - m.rssBefore),
            static_cast<long long>(m.hwm - m.rssBefore), growth <= budgetKb ? "met" : "NOT met");
    }
    return 0;
}
