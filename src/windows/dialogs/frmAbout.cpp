#include "windows/dialogs/frmAbout.h"

#include "app/Controls.h"
#include "app/Failure.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

QString versionText(std::int16_t major, std::int16_t minor, std::int16_t revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

frmAbout::frmAbout()
    : app::Form(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    using namespace app;
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About -> Orvanta"));
    setWindowIcon(icon(QStringLiteral("about.ico")));
    setFont(defaultFont());
    setFixedClientSizeTwips(3840, 1575);
    hideTaskbarButton();
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    // Created back to front: the OK button lies on top of the logo's frame.
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setTextFormat(Qt::PlainText);
    lblVersion->setFont(windowFont(FontFace::Arial, 12, true));
    lblVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lblVersion, 120, 840, 3645, 345);

    Label1 = new QLabel(QStringLiteral("\u00A9 2026 Orvanta Software. All rights reserved."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(Label1, 120, 1320, 3375, 255);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    setPicture(Image1, picture(QStringLiteral("about_logo.jpg")), QString());
    Image1->setAccessibleName(QStringLiteral("Orvanta Player"));
    // A flat one-pixel line around the picture, which sits inside it at its natural size.
    Image1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Image1->setLineWidth(1);
    place(Image1, 120, 0, 1905, 855);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    place(cmdOK, 2400, 120, 1215, 375);
    onEvent(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // The only control that takes the focus.
    cmdOK->setFocus();

    centreOnScreen();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(versionText(kVersionMajor, kVersionMinor, kVersionRevision));
}

void frmAbout::cmdOK_Click() { Unload(); }

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            cmdOK->click();
            return;
        default:
            break;
        }
    }
    app::Form::keyPressEvent(event);
}

