#include "startup/frmSplash.h"

#include "app/Controls.h"
#include "app/Failure.h"
#include "app/Twips.h"
#include "windows/control/Form2.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QTimer>

namespace {
// The fixed dialog frame drawn around the client area (the window has no title bar).
constexpr int kFrame = 3;
} // namespace

frmSplash::frmSplash() : app::Form(Qt::SplashScreen | Qt::FramelessWindowHint)
{
    using namespace app;
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString());
    setFont(defaultFont());
    setFocusPolicy(Qt::StrongFocus); // key preview: every key comes to the window

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(kFrame, kFrame, twipsToPixels(4485), twipsToPixels(1665));
    setFixedSize(client->width() + 2 * kFrame, client->height() + 2 * kFrame);

    // Created back to front: the logo lies under the version text.
    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 240, 240, 4005, 735);
    setPicture(Image1, picture(QStringLiteral("splash_logo.jpg")), QString());
    Image1->setAccessibleName(QStringLiteral("Orvanta Player"));

    Label1 = new QLabel(QStringLiteral("Version 2.0.0"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(windowFont(FontFace::MsSansSerif, 9.75, true));
    place(Label1, 2880, 960, 1350, 240);
    Label1->adjustSize(); // auto-size

    Label2 = new QLabel(QStringLiteral("www.orvanta-player.example"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(windowFont(FontFace::Arial, 8.25));
    QPalette red = Label2->palette();
    red.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label2->setPalette(red);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Label2, 120, 1440, 4215, 255);

    for (QWidget *w : {static_cast<QWidget *>(Image1), static_cast<QWidget *>(Label1),
                       static_cast<QWidget *>(Label2)})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    onEvent(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    Timer1->start();

    centreOnScreen();
}

void frmSplash::Timer1_Timer() { handOver(); }

void frmSplash::Form_KeyPress(int) { handOver(); }

void frmSplash::handOver()
{
    app::Forms::show<Form2>();
    Unload();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    // Only keys that yield a character raise a key press; arrows and function keys do not.
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete) {
        event->ignore();
        return;
    }
    const int keyAscii = text.at(0).unicode();
    app::runHandler([this, keyAscii] { Form_KeyPress(keyAscii); });
}

void frmSplash::paintEvent(QPaintEvent *event)
{
    app::Form::paintEvent(event);
    QPainter p(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = kFrame;
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
}
