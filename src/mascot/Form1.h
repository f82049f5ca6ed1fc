#pragma once

#include <QWidget>

// The mascot window: a borderless, always-on-top kitten.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    static Form1* Create();
    void Load();

private:
    Form1();
};
