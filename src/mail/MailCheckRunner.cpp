#include "mail/MailCheckRunner.h"

#include <QCoreApplication>

MailCheckRunner::MailCheckRunner(QObject* parent) : QObject(parent) {}

MailCheckRunner::~MailCheckRunner()
{
    if (!m_thread)
        return;
    cancel();
    // The worker may be waiting for this thread to take a login failure: keep answering.
    while (!m_thread->wait(10))
        QCoreApplication::processEvents();
    delete m_thread;
}

bool MailCheckRunner::start(MailLibrary& library, const MailCheck::Request& request,
                            const MailAccount& account, Callbacks callbacks)
{
    if (m_thread)
        return false;
    m_callbacks = std::move(callbacks);
    m_check = std::make_unique<MailCheck>(library);
    MailCheck* check = m_check.get();
    m_thread = QThread::create([this, check, request, account] {
        MailCheck::Hooks hooks;
        hooks.account = [account] { return account; };
        hooks.loginFailed = [this](const MailCheck::Outcome& failed) {
            // Blocks the worker, with the connection open, until the user has read it.
            QMetaObject::invokeMethod(
                this,
                [this, failed] {
                    if (m_callbacks.loginFailed)
                        m_callbacks.loginFailed(failed);
                },
                Qt::BlockingQueuedConnection);
        };
        hooks.progress = [this](int32_t n, int32_t total) {
            QMetaObject::invokeMethod(
                this,
                [this, n, total] {
                    if (m_callbacks.progress)
                        m_callbacks.progress(n, total);
                },
                Qt::QueuedConnection);
        };
        const MailCheck::Outcome outcome = check->run(request, hooks);
        QMetaObject::invokeMethod(
            this, [this, outcome] { finish(outcome); }, Qt::QueuedConnection);
    });
    m_thread->start();
    return true;
}

void MailCheckRunner::cancel()
{
    if (m_check)
        m_check->cancel();
}

void MailCheckRunner::finish(const MailCheck::Outcome& outcome)
{
    // The worker has nothing left to do but return.
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_check.reset();
    // The callbacks may start the next check (an automatic one that fell due, say).
    const auto finished = std::move(m_callbacks.finished);
    m_callbacks = {};
    if (finished)
        finished(outcome);
}
