#pragma once
// The start-up window: shows the logo for about a second, or until a key is
// pressed, then hands over to the player windows.

#include "app/Form.h"

class QLabel;
class QTimer;

class frmSplash : public app::Form {
    Q_OBJECT
public:
    frmSplash();

    void Timer1_Timer();
    void Form_KeyPress(int keyAscii);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void handOver();

    QWidget *client;
    QTimer *Timer1;
    QLabel *Label2;
    QLabel *Label1;
    QLabel *Image1;
};
