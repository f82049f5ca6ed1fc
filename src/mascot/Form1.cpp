#include "mascot/Form1.h"

#include <QCursor>

Form1::Form1()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setWindowTitle(QStringLiteral("Form1"));
}

Form1* Form1::Create() { return new Form1; }

void Form1::Load()
{
    resize(100, 100);
    move(QCursor::pos());
    show();
}
