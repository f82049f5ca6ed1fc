#include "platform/MessageBoxLook.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QWindow>

namespace {

// Finds the keeper of a box prepared before (the class has no meta-object of its own).
const QString KeeperName = QStringLiteral("mofurin_box_keeper");

// Lives as a child of its box: raises the box whenever it is shown or another window of the
// program takes the focus while it is open, and puts the arrow pointer up while it is shown.
class BoxKeeper : public QObject
{
public:
    explicit BoxKeeper(QMessageBox& box) : QObject(&box), m_box(&box)
    {
        setObjectName(KeeperName);
        box.installEventFilter(this);
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
            // A click on the kitten or the bar lets the window manager raise it; the box goes
            // back on top. Focus leaving the program (focus is null) changes nothing.
            if (focus && m_box->isVisible() && focus != m_box->windowHandle())
                m_box->raise();
        });
    }
    ~BoxKeeper() override { restoreCursor(); }
    BoxKeeper(const BoxKeeper&) = delete;
    BoxKeeper& operator=(const BoxKeeper&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_box) {
            if (event->type() == QEvent::Show) {
                m_box->raise();
                if (QApplication::overrideCursor() && !m_cursorPushed) {
                    QApplication::setOverrideCursor(Qt::ArrowCursor);
                    m_cursorPushed = true;
                }
            } else if (event->type() == QEvent::Hide) {
                restoreCursor();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void restoreCursor()
    {
        if (m_cursorPushed) {
            QApplication::restoreOverrideCursor();
            m_cursorPushed = false;
        }
    }

    QMessageBox* m_box; // the parent of this object
    bool m_cursorPushed = false;
};

} // namespace

void PrepareMessageBox(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The second paragraph has a label of its own that the property above leaves alone.
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (!box.findChild<QObject*>(KeeperName, Qt::FindDirectChildrenOnly))
        new BoxKeeper(box);
}

QString ErrorBoxTitle()
{
    return QCoreApplication::translate("MessageBoxLook", "エラー");
}
