#pragma once

#include "mail/MailCheck.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <functional>
#include <memory>

// Runs one MailCheck at a time on a worker thread, so the user-interface thread keeps the
// kitten's idle cycle, dragging, the bar and the dialogs going while the check waits on the
// network. Everything it reports arrives on the thread that owns the runner (the user-interface
// thread), in order: progress, then the outcome. A failed login's reason is handed over while
// the worker waits, so the user sees it before the connection closes, as ever.
class MailCheckRunner : public QObject
{
public:
    struct Callbacks
    {
        std::function<void(const MailCheck::Outcome&)> loginFailed; // may be empty
        std::function<void(int32_t n, int32_t total)> progress;     // may be empty
        std::function<void(const MailCheck::Outcome&)> finished;
    };

    explicit MailCheckRunner(QObject* parent = nullptr);
    // Cancels a check still running and waits for its thread.
    ~MailCheckRunner() override;

    // False, doing nothing, while a check runs. The account is taken on this thread before
    // the check starts (the settings files and the desktop's keyring belong to it).
    bool start(MailLibrary& library, const MailCheck::Request& request, const MailAccount& account,
               Callbacks callbacks);
    bool running() const { return m_thread != nullptr; }
    // Ends the running check as soon as it can; its outcome still arrives, marked cancelled.
    void cancel();

private:
    void finish(const MailCheck::Outcome& outcome);

    std::unique_ptr<MailCheck> m_check;
    QThread* m_thread = nullptr; // owned; joined when its check has reported
    Callbacks m_callbacks;
};
