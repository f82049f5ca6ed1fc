#pragma once

// What the mail-check tests share: a dial-up service that counts the hang-up passes, and a
// watcher that answers the next "エラー" box and remembers what it said.
#include "menu/DialUpHangUp.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

class CountingDialUp : public DialUpService
{
public:
    int enumerations = 0;
    bool EnumConnections(std::vector<DialUpConnection>& table) override
    {
        ++enumerations;
        table.clear();
        return true;
    }
    void HangUp(const DialUpConnection&) override {}
};

// Presses OK on the next visible message box and records "title|text". onClose runs just
// before the press, so a test can note when the box came among the library calls.
class BoxAnswerer
{
public:
    QStringList boxes;
    std::function<void()> onClose;

    void answerNext()
    {
        QTimer::singleShot(20, &m_context, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    boxes << box->windowTitle() + QLatin1Char('|') + box->text();
                    if (onClose)
                        onClose();
                    box->button(QMessageBox::Ok)->click();
                    return;
                }
            }
            answerNext();
        });
    }

private:
    QObject m_context; // a watch still waiting ends with the answerer
};
