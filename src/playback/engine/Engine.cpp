#include "playback/engine/Engine.h"

#include "app/FileListBox.h"
#include "playback/PlaybackControl.h"
#include "playback/disc/Facts.h"
#include "playback/engine/VlcPlaybackControl.h"

namespace playback {

void installPlaybackEngine(const QString &disc)
{
    PlaybackControl::setFactory(
        [disc](QWidget *parent) -> PlaybackControl * { return new engine::VlcPlaybackControl(disc, parent); });
    // The disc information dialog lists an image's VIDEO_TS, which is inside the image.
    app::FileListBox::setDirectoryReader([](const QString &path) -> std::optional<QStringList> {
        const std::optional<QString> image = disc::imageOfVideoTs(path);
        if (!image)
            return std::nullopt;
        const std::optional<disc::Facts> facts = disc::readFacts({disc::SourceKind::Image, *image});
        if (!facts)
            return std::nullopt;
        return facts->videoTsFiles;
    });
}

} // namespace playback
