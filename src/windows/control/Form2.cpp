#include "windows/control/Form2.h"

#include "app/ClickableLabel.h"
#include "app/Controls.h"
#include "app/Failure.h"
#include "app/PictureBox.h"
#include "app/Twips.h"
#include "desktop/MediaPlayer2.h"
#include "desktop/PlayerState.h"
#include "desktop/ScreenSaverInhibitor.h"
#include "playback/PlaybackControl.h"
#include "windows/video/dvdw.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <utility>

using namespace app;

namespace {

// Placed in twips, with its tool tip.
void place(QWidget *w, int left, int top, int width, int height, const QString &toolTip)
{
    app::place(w, left, top, width, height);
    setToolTipText(w, toolTip);
}

QAbstractButton *textButton(QWidget *parent, const char *name, const QString &caption, const QFont &font)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFont(font);
    return b;
}

// A graphical button: the picture, and under it the caption if there is one.
QAbstractButton *pictureButton(QWidget *parent, const char *name, const QString &caption, const QIcon &pic,
                               QSize pictureSize, const QFont &font)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setFont(font);
    b->setIcon(pic);
    b->setIconSize(pictureSize);
    b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QLabel *panelLabel(QWidget *parent, const char *name, const QString &caption, double points, bool bold,
                   Qt::Alignment alignment)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(windowFont(FontFace::MsSansSerif, points, bold));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
    l->setPalette(pal);
    l->setTextFormat(Qt::PlainText); // texts come from the disc: never rich text
    l->setAlignment(alignment | Qt::AlignTop);
    return l;
}

QLabel *panelImage(QWidget *parent, const char *name, const QString &pictureName, const QString &toolTip,
                   bool stretch)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    setPicture(l, picture(pictureName), toolTip, stretch);
    return l;
}

} // namespace

Form2::Form2()
    : Form(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
           | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Orvanta v2.0 - Control Window"));
    setWindowIcon(icon(QStringLiteral("form2.ico")));
    setFont(defaultFont());
    setFixedClientSizeTwips(6180, 2970);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFrameStyle(QFrame::Box | QFrame::Sunken); // etched, no caption
    place(Frame2, 120, 0, 6015, 2895);

    buildButtons();
    enterPressesFocusedButton(this);
    setTabOrder();
    connectHandlers();
    connectDialogHandlers();
    setAcceptDrops(true);
    Timer1->start();
    Command7->setFocus();
    centreOnScreen();
}

void Form2::buildButtons()
{
    const QFont plainFont = defaultFont();
    const QFont boldFont = windowFont(FontFace::MsSansSerif, 8.25, true);
    const QFont arialBold = windowFont(FontFace::Arial, 9.75, true);
    const QSize bitmap(26, 25), iconSize(32, 32);

    // Created back to front: a control created later lies on top of the ones it overlaps.
    Command7 = pictureButton(Frame2, "Command7", QStringLiteral("&About"), icon(QStringLiteral("about_button.ico")),
                             iconSize, boldFont);
    place(Command7, 4920, 240, 975, 855, QStringLiteral("About Orvanta"));

    Command12 = textButton(Frame2, "Command12", QStringLiteral("<<<"), arialBold);
    place(Command12, 2760, 2280, 975, 495, QStringLiteral("Fast Backwards"));

    Command11 = textButton(Frame2, "Command11", QStringLiteral(">>>"), arialBold);
    place(Command11, 3840, 2280, 975, 495, QStringLiteral("Fast Forward"));

    Command8 = pictureButton(Frame2, "Command8", QStringLiteral("Full Scree&n"), icon(QStringLiteral("fullscreen.ico")),
                             iconSize, plainFont);
    place(Command8, 4920, 1920, 975, 855, QStringLiteral("Full Screen Mode"));

    Command6 = pictureButton(Frame2, "Command6", QString(), icon(QStringLiteral("eject.ico")), iconSize, plainFont);
    place(Command6, 2760, 1560, 735, 615, QStringLiteral("Eject"));

    Command5 = pictureButton(Frame2, "Command5", QString(), icon(QStringLiteral("stop.bmp")), bitmap, plainFont);
    place(Command5, 1920, 1560, 735, 615, QStringLiteral("Stop"));

    Command4 = textButton(Frame2, "Command4", QStringLiteral("| <<"), arialBold);
    place(Command4, 240, 2280, 975, 495, QStringLiteral("Previous Chapter"));

    Command3 = textButton(Frame2, "Command3", QStringLiteral(">>|"), arialBold);
    place(Command3, 1320, 2280, 975, 495, QStringLiteral("Next Chapter"));

    Command1 = pictureButton(Frame2, "Command1", QString(), icon(QStringLiteral("play.bmp")), bitmap, plainFont);
    place(Command1, 240, 1560, 735, 615, QStringLiteral("Play"));

    Command2 = pictureButton(Frame2, "Command2", QString(), icon(QStringLiteral("pause.bmp")), bitmap, plainFont);
    place(Command2, 1080, 1560, 735, 615, QStringLiteral("Pause"));

    buildStatusPanel();

    Command10 = textButton(Frame2, "Command10", QStringLiteral("&Mute"), boldFont);
    place(Command10, 3600, 1560, 1215, 255, QStringLiteral("Mute Audio"));

    Command9 = textButton(Frame2, "Command9", QStringLiteral("Subtitles"), boldFont);
    place(Command9, 3600, 1920, 1215, 255, QStringLiteral("Show / Hide Subtitles"));

    Command13 = textButton(Frame2, "Command13", QStringLiteral("DVD Info."), plainFont);
    place(Command13, 4920, 1320, 975, 375);
}

void Form2::buildStatusPanel()
{
    Picture1 = new QFrame(Frame2);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(2);
    Picture1->setFocusPolicy(Qt::TabFocus);
    Picture1->setAccessibleName(QStringLiteral("Status"));
    QPalette black = Picture1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Picture1->setPalette(black);
    Picture1->setAutoFillBackground(true);
    place(Picture1, 120, 240, 4695, 1215);

    // The panel's children are placed in, and clipped to, its inner area.
    auto *inner = new QWidget(Picture1);
    inner->setObjectName(QStringLiteral("Picture1_client"));
    inner->setGeometry(Picture1->contentsRect());

    buildMuteSpeedAndSubs(inner);
    buildPositionAndTotal(inner);
    buildStatusIconsAndChapter(inner);

    Progres = new PictureBox(inner);
    Progres->setObjectName(QStringLiteral("Progres"));
    Progres->setPalette(black);
    Progres->setAutoFillBackground(true);
    place(Progres, 0, 960, 5295, 135);
    setToolTipText(Progres, QStringLiteral("Play Position Progress Indicator"));
    Progres->setAccessibleName(QStringLiteral("Play Position Progress Indicator"));
}

void Form2::buildMuteSpeedAndSubs(QWidget *inner)
{
    Image10 = panelImage(inner, "Image10", QStringLiteral("mute_off.bmp"), QStringLiteral("Mute Off"), true);
    place(Image10, 4320, 120, 255, 255);
    Image11 = panelImage(inner, "Image11", QStringLiteral("mute_on.bmp"), QStringLiteral("Mute On"), true);
    place(Image11, 4320, 120, 255, 255);
    Image11->setVisible(false);

    Speed = panelLabel(inner, "Speed", QStringLiteral("x1"), 12, true, Qt::AlignRight);
    place(Speed, 4320, 360, 285, 300);
    setToolTipText(Speed, QStringLiteral("Play Speed"));

    Subs = new ClickableLabel(QStringLiteral("S"), inner);
    Subs->setObjectName(QStringLiteral("Subs"));
    Subs->setFont(windowFont(FontFace::MsSansSerif, 13.5));
    QPalette red = Subs->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Subs->setPalette(red);
    Subs->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(Subs, 3960, 0, 255, 375);
    setToolTipText(Subs, QStringLiteral("Subtitles On (Click to Select Language)"));
    Subs->setVisible(false);
    installClickableLabelAccessibility();
}

void Form2::buildPositionAndTotal(QWidget *inner)
{
    const QString position = QStringLiteral("Current Time Position");
    Label2[1] = panelLabel(inner, "Label2_1", QStringLiteral(":"), 24, false, Qt::AlignHCenter);
    place(Label2[1], 2400, 240, 255, 615);
    Label2[0] = panelLabel(inner, "Label2_0", QStringLiteral(":"), 24, false, Qt::AlignHCenter);
    place(Label2[0], 1560, 240, 255, 495);
    const int fieldLeft[3] = {960, 1800, 2640};
    for (int i = 2; i >= 0; --i) {
        Label1[i] = panelLabel(inner, QStringLiteral("Label1_%1").arg(i).toLatin1().constData(), QStringLiteral("00"),
                               24, false, Qt::AlignHCenter);
        place(Label1[i], fieldLeft[i], 240, 615, 495);
    }
    for (QLabel *l : {Label1[0], Label1[1], Label1[2], Label2[0], Label2[1]})
        setToolTipText(l, position);

    Label3 = panelLabel(inner, "Label3", QStringLiteral("00:00:00"), 12, false, Qt::AlignLeft);
    place(Label3, 1080, 0, 975, 255);
    setToolTipText(Label3, QStringLiteral("Total Play Time"));
}

void Form2::buildStatusIconsAndChapter(QWidget *inner)
{
    Image12 = panelImage(inner, "Image12", QStringLiteral("status_play.bmp"), QStringLiteral("Play"), false);
    Image13 = panelImage(inner, "Image13", QStringLiteral("status_pause.bmp"), QStringLiteral("Pause"), false);
    Image14 = panelImage(inner, "Image14", QStringLiteral("status_stop.bmp"), QStringLiteral("Stop"), false);
    Image15 = panelImage(inner, "Image15", QStringLiteral("status_cue_forward.bmp"), QStringLiteral("Cue Forward"),
                         false);
    Image16 = panelImage(inner, "Image16", QStringLiteral("status_cue_reverse.bmp"), QStringLiteral("Cue Reverse"),
                         false);
    for (QLabel *img : {Image12, Image13, Image14, Image15, Image16}) {
        place(img, 120, 120, 750, 750);
        img->setVisible(img == Image14);
    }

    Chap = panelLabel(inner, "Chap", QString(), 12, false, Qt::AlignRight);
    place(Chap, 960, 720, 2295, 255);
    setToolTipText(Chap, QStringLiteral("Current Chapter"));
}

void Form2::setTabOrder()
{
    const QWidget *chain[] = {Command7, Command12, Command11, Command8, Command6, Command5, Command4, Command3,
                              Command1, Command2, Picture1,  Command10, Command9, Progres,  Command13};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(chain[i - 1]), const_cast<QWidget *>(chain[i]));
}

void Form2::Form_Load()
{
    Forms::show<dvdw>();
    offerToDesktop();
    m_screenSaver = new desktop::ScreenSaverInhibitor(this);
    connect(&dvd(), &playback::PlaybackControl::playingChanged, m_screenSaver,
            &desktop::ScreenSaverInhibitor::setInhibited);
    m_screenSaver->setInhibited(dvd().isPlaying());
    // Queued: the control has finished stopping or starting before a message box waits in it.
    connect(&dvd(), &playback::PlaybackControl::playbackStopped, this,
            [this](const QString &failure) { app::runHandler([&] { dvd_PlaybackStopped(failure); }); },
            Qt::QueuedConnection);
    connect(&dvd(), &playback::PlaybackControl::playStarted, this,
            [this](const QString &failure) { app::runHandler([&] { dvd_PlayStarted(failure); }); },
            Qt::QueuedConnection);
}

void Form2::Form_Unload()
{
    // A tick from now on would reach the video window through its single
    // instance and load it again.
    Timer1->stop();
    delete std::exchange(m_mediaControls, nullptr);
    delete std::exchange(m_playerState, nullptr);
    delete std::exchange(m_screenSaver, nullptr); // gives its cookie back
    Forms::unload<dvdw>();
}
