#pragma once
// The control window: transport buttons, trick play, the status panel refreshed
// by its timer, the mute and subtitle toggles, and the buttons that open the
// About box and the disc information dialog. Its small state lives in its
// controls (Command2's tooltip, Speed's caption, the visible status icon);
// besides them it keeps Muted, and while loaded it offers itself to the
// desktop's media controls and keeps the screen awake while a disc plays.

#include "app/Form.h"

#include <array>
#include <cstdint>

class QAbstractButton;
class QFrame;
class QMimeData;
class QLabel;
class QTimer;
namespace app {
class ClickableLabel;
class PictureBox;
} // namespace app
namespace desktop {
enum class MediaCommand;
class MediaPlayer2;
class PlayerState;
class ScreenSaverInhibitor;
struct MediaState;
} // namespace desktop

class Form2 : public app::Form {
    Q_OBJECT
public:
    Form2();

    void Form_Load() override;
    void Form_Unload() override;

    // The buttons and the label that open the dialogs.
    void Command7_Click();
    void Command13_Click();
    void Subs_Click();

    // Transport.
    void Command1_Click(); // Play
    void Command2_Click(); // Pause / Continue
    void Command3_Click(); // Next Chapter
    void Command4_Click(); // Previous Chapter
    void Command5_Click(); // Stop
    // The disc stopped on its own; failure: why, empty at the disc's end.
    void dvd_PlayStarted(const QString &failure);
    void dvd_PlaybackStopped(const QString &failure);
    void Command6_Click(); // Eject
    void Command8_Click(); // Full Screen
    // Trick play.
    void Command11_Click(); // Fast Forward
    void Command12_Click(); // Fast Backwards
    // Toggles.
    void Command9_Click();  // Subtitles on / off
    void Command10_Click(); // Mute on / off
    // The status poll, every 500 ms.
    void Timer1_Timer();
    // A disc dropped on the control window or the video window: it plays instead.
    void Form_DiscDropped(const QString &disc);
    // The disc a drag carries: a folder holding VIDEO_TS, a VIDEO_TS folder or a
    // DVD image; empty for anything else, which is not taken.
    static QString discIn(const QMimeData *data);

    // Controls. Label1 (the position's three fields) and Label2 (the colons) are arrays.
    QTimer *Timer1;
    QFrame *Frame2;
    QAbstractButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7, *Command8,
        *Command9, *Command10, *Command11, *Command12, *Command13;
    QFrame *Picture1;
    app::PictureBox *Progres;
    QLabel *Chap, *Label3, *Speed;
    app::ClickableLabel *Subs;
    std::array<QLabel *, 3> Label1;
    std::array<QLabel *, 2> Label2;
    QLabel *Image10, *Image11, *Image12, *Image13, *Image14, *Image15, *Image16;

    // The window's own record of the mute state (libvlc cannot report it): 0 = False, -1 = True.
    std::int16_t Muted = 0;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildButtons();
    void buildStatusPanel();
    void buildMuteSpeedAndSubs(QWidget *inner);
    void buildPositionAndTotal(QWidget *inner);
    void buildStatusIconsAndChapter(QWidget *inner);
    void setTabOrder();
    // Connect the controls' events to their handlers.
    void connectHandlers();
    void connectDialogHandlers();
    // The play-state icons: writes Visible of Image12 to Image16, in that order.
    void setStatusIcons(bool play, bool pause, bool stop, bool cueForward, bool cueReverse);

    // The desktop's media controls: what they are told (read from the panel once a
    // handler is done with it), and their commands, carried out with the buttons.
    void offerToDesktop();
    void updateMediaStateSoon();
    desktop::MediaState mediaState();
    void mediaCommand(desktop::MediaCommand command);

    // The desktop's media controls (MPRIS) and the screen saver, while the window is loaded.
    desktop::PlayerState *m_playerState = nullptr;
    desktop::MediaPlayer2 *m_mediaControls = nullptr;
    bool m_mediaStateQueued = false;
    desktop::ScreenSaverInhibitor *m_screenSaver = nullptr;
};
