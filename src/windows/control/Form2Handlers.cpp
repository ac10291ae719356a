#include "windows/control/Form2.h"

#include "app/Failure.h"

#include <QAbstractButton>
#include <QTimer>

using app::onEvent;

void Form2::connectHandlers()
{
    onEvent(Command1, &QAbstractButton::clicked, this, &Form2::Command1_Click);
    onEvent(Command2, &QAbstractButton::clicked, this, &Form2::Command2_Click);
    onEvent(Command3, &QAbstractButton::clicked, this, &Form2::Command3_Click);
    onEvent(Command4, &QAbstractButton::clicked, this, &Form2::Command4_Click);
    onEvent(Command5, &QAbstractButton::clicked, this, &Form2::Command5_Click);
    onEvent(Command6, &QAbstractButton::clicked, this, &Form2::Command6_Click);
    onEvent(Command8, &QAbstractButton::clicked, this, &Form2::Command8_Click);
    onEvent(Command9, &QAbstractButton::clicked, this, &Form2::Command9_Click);
    onEvent(Command10, &QAbstractButton::clicked, this, &Form2::Command10_Click);
    onEvent(Command11, &QAbstractButton::clicked, this, &Form2::Command11_Click);
    onEvent(Command12, &QAbstractButton::clicked, this, &Form2::Command12_Click);
    onEvent(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
}
