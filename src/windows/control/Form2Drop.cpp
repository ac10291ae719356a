// A disc dragged from the file manager onto the control window (the video
// window hands its drops here too): it becomes the disc, and plays.

#include "windows/control/Form2.h"

#include "app/Failure.h"
#include "playback/PlaybackControl.h"
#include "playback/disc/Source.h"
#include "windows/video/dvdw.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

QString Form2::discIn(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls()) {
        const QFileInfo file(url.toLocalFile());
        if (!url.isLocalFile() || !file.exists())
            continue;
        const bool videoTs = file.isDir()
                             && (playback::disc::isVideoTsName(file.fileName()) || playback::disc::videoTsIn(file.filePath()));
        const bool image = file.isFile()
                           && QMimeDatabase().mimeTypeForFile(file).inherits(QStringLiteral("application/x-cd-image"));
        if (videoTs || image)
            return file.absoluteFilePath();
    }
    return {};
}

void Form2::dragEnterEvent(QDragEnterEvent *event)
{
    if (!discIn(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form2::dropEvent(QDropEvent *event)
{
    const QString disc = discIn(event->mimeData());
    if (disc.isEmpty())
        return;
    event->acceptProposedAction();
    app::runHandler([&] { Form_DiscDropped(disc); });
}

// What plays stops and the panel says so, whatever the control makes of the new
// disc; then Play, as a click would, with its box when the disc cannot be played.
void Form2::Form_DiscDropped(const QString &disc)
{
    app::StepRunner step;
    step([&] { dvd().setDisc(disc); });
    step([&] { setStatusIcons(false, false, true, false, false); });
    Command1_Click();
}
