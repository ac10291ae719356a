#include "playback/disc/FactsReader.h"

#include "playback/disc/DvdRead.h"
#include "playback/disc/Mpeg.h"
#include "playback/disc/TitleLayout.h"

#include <dvdread/ifo_types.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace playback::disc {

namespace {

// A title set has at most 32 subtitle streams and 8 audio streams.
constexpr int kMostSubpictureStreams = 32, kMostAudioStreams = 8;

// The files of VIDEO_TS, by their standard names, for those the disc holds.
QStringList listVideoTs(dvd_reader_t *dvd, int titleSets)
{
    QStringList files;
    for (int set = 0; set <= titleSets; ++set) {
        char base[16];
        if (set == 0)
            std::snprintf(base, sizeof base, "VIDEO_TS");
        else
            std::snprintf(base, sizeof base, "VTS_%02d_", set);
        const std::string stem = set == 0 ? std::string(base) + '.' : std::string(base) + "0.";
        dvd_stat_t st{};
        if (DVDFileStat(dvd, set, DVD_READ_INFO_FILE, &st) == 0)
            files << QString::fromStdString(stem + "IFO");
        if (DVDFileStat(dvd, set, DVD_READ_INFO_BACKUP_FILE, &st) == 0)
            files << QString::fromStdString(stem + "BUP");
        if (DVDFileStat(dvd, set, DVD_READ_MENU_VOBS, &st) == 0)
            files << QString::fromStdString(stem + "VOB");
        if (set > 0 && DVDFileStat(dvd, set, DVD_READ_TITLE_VOBS, &st) == 0) {
            for (int part = 1; part <= st.nr_parts && part <= 9; ++part)
                files << QString::fromStdString(std::string(base) + char('0' + part) + ".VOB");
        }
    }
    return files;
}

QString codeFromAttribute(uint16_t langCode)
{
    const char a = char(langCode >> 8);
    const char b = char(langCode & 0xff);
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(a) || !letter(b))
        return {};
    return QString(QChar(char(a | 0x20))) + QChar(char(b | 0x20));
}

// The sub-stream a program chain shows for one of its subtitle streams: each
// stream has one per display mode (4:3 in bits 24-28; for a 16:9 picture
// widescreen in 16-20, letterbox in 8-12, pan and scan in 0-4). A 16:9 title
// fills our window, so it takes the widescreen one. -1: not in this chain.
int subpictureStreamId(std::uint32_t control, bool wide)
{
    if (!(control & 0x80000000u))
        return -1;
    return int((wide ? control >> 16 : control >> 24) & 0x1f);
}

// An image's or a disc's volume label (UDF, or ISO 9660 for a disc mastered
// without UDF); a folder has none and is known by its own name, or by its
// parent's when it is the VIDEO_TS folder itself.
QString volumeName(dvd_reader_t *dvd, const char *path)
{
    char label[33] = {};
    if (DVDUDFVolumeInfo(dvd, label, sizeof label, nullptr, 0) == 0 && label[0])
        return QString::fromUtf8(label).trimmed();
    if (DVDISOVolumeInfo(dvd, label, sizeof label, nullptr, 0) == 0 && label[0])
        return QString::fromLatin1(label).trimmed();
    QDir folder(QFile::decodeName(path));
    if (isVideoTsName(folder.dirName()))
        folder.cdUp();
    return folder.dirName();
}

FactsReading fail(Problem failure)
{
    FactsReading r;
    r.failure = failure;
    return r;
}

// A pack whose video or sound is CSS-scrambled: its PES header's scrambling bits
// are set. libdvdread unscrambles through libdvdcss when it is installed, which
// clears them.
bool isScrambled(const unsigned char *s)
{
    // Only the pack's first packet counts; a VOBU's first pack opens with a system
    // header (0xBB), which is passed over.
    bool first = true, scrambled = false;
    mpeg::forEachPacket(s, [&](const unsigned char *packet, unsigned id, std::size_t length) {
        if (!first || id == 0xBB)
            return;
        first = false;
        const bool media = (id >= 0xC0 && id <= 0xEF) || id == 0xBD;
        scrambled = media && length > 6 && (packet[6] & 0x30) != 0;
    });
    return scrambled;
}

// Whether a title's video can be played: its first cell starts with an MPEG
// pack, and its first packs are not scrambled beyond reading. Video cut short
// further on plays up to the cut.
Problem titleVideoProblem(dvd_reader_t *dvd, int titleSet, const ifo_handle_t *vts, int vtsTitle)
{
    const pgc_t *start = firstProgramChain(*vts, vtsTitle);
    if (!start || start->nr_of_cells == 0 || !start->cell_playback)
        return Problem::NavigationDamaged;
    FilePtr vobs(DVDOpenFile(dvd, titleSet, DVD_READ_TITLE_VOBS));
    if (!vobs)
        return Problem::VideoDamaged;
    unsigned char block[DVD_VIDEO_LB_LEN];
    const int first = int(start->cell_playback[0].first_sector);
    constexpr int kPacksLookedAt = 16; // past the navigation pack, into the picture and the sound
    for (int i = 0; i < kPacksLookedAt; ++i) {
        if (DVDReadBlocks(vobs.get(), first + i, 1, block) != 1 || !mpeg::isPack(block))
            return i == 0 ? Problem::VideoDamaged : Problem::None;
        if (isScrambled(block))
            return Problem::Encrypted;
    }
    return Problem::None;
}

// Why VIDEO_TS.IFO cannot be read: missing (not a DVD-Video disc, or an image
// without UDF, in which libdvdread finds no files at all) or damaged.
Problem navigationProblem(dvd_reader_t *dvd, const char *path)
{
    dvd_stat_t st{};
    if (DVDFileStat(dvd, 0, DVD_READ_INFO_FILE, &st) == 0 || DVDFileStat(dvd, 0, DVD_READ_INFO_BACKUP_FILE, &st) == 0)
        return Problem::NavigationDamaged;
    struct stat file{};
    const bool image = ::stat(path, &file) == 0 && !S_ISDIR(file.st_mode);
    char label[33];
    if (image && DVDUDFVolumeInfo(dvd, label, sizeof label, nullptr, 0) != 0)
        return Problem::NotDvdImage;
    return Problem::NotDvdVideo;
}

// A title's chapters, streams and whether its video can be played (read only when checkVideo).
TitleFacts titleFacts(dvd_reader_t *dvd, const title_info_t &title, const ifo_handle_t &vts, bool checkVideo)
{
    TitleFacts facts;
    facts.chapters = title.nr_of_ptts;
    if (const std::optional<TitleLayout> layout = titleLayout(vts, title.vts_ttn)) {
        facts.lengthMs = layout->lengthMs;
        for (int chapter = 0; chapter < int(layout->chapterCells.size()); ++chapter)
            facts.chapterStartsMs.push_back(layout->chapterStartMs(chapter));
        for (std::size_t c = 0; c < layout->cells.size(); ++c)
            if (layout->cells[c].stillSeconds > 0)
                facts.stills.push_back({layout->cells[c].startMs, layout->cellEndMs(c), layout->cells[c].stillSeconds});
    }
    if (checkVideo)
        facts.problem = titleVideoProblem(dvd, title.title_set_nr, &vts, title.vts_ttn);
    const vtsi_mat_t *mat = vts.vtsi_mat;
    const pgc_t *pgc = firstProgramChain(vts, title.vts_ttn);
    const bool wide = isWide(mat->vts_video_attr);
    facts.framesPerSecond = mat->vts_video_attr.video_format == 0 ? 30 : 25;
    const int subpictures = std::min<int>(mat->nr_of_vts_subp_streams, kMostSubpictureStreams);
    for (int i = 0; i < subpictures; ++i) {
        const subp_attr_t &attr = mat->vts_subp_attr[i];
        facts.subpictureLanguageCodes << (attr.type == 1 ? codeFromAttribute(attr.lang_code) : QString());
        facts.subpictureStreamIds.push_back(pgc ? subpictureStreamId(pgc->subp_control[i], wide) : i);
    }
    const int audio = std::min<int>(mat->nr_of_vts_audio_streams, kMostAudioStreams);
    for (int i = 0; i < audio; ++i) {
        const audio_attr_t &attr = mat->vts_audio_attr[i];
        facts.audioLanguageCodes << (attr.lang_type == 1 ? codeFromAttribute(attr.lang_code) : QString());
    }
    return facts;
}

} // namespace

FactsReading readFactsHere(const char *path, bool checkVobs, bool listFiles)
{
    DvdPtr dvd = openDvd(path);
    if (!dvd)
        return fail(Problem::Unreadable);
    IfoPtr vmg(ifoOpen(dvd.get(), 0));
    if (!vmg || !vmg->vmgi_mat)
        return fail(navigationProblem(dvd.get(), path));
    const tt_srpt_t *titles = vmg->tt_srpt;
    if (!titles || !titles->title || titles->nr_of_srpts == 0)
        return fail(Problem::NavigationDamaged);

    FactsReading reading;
    Facts &facts = reading.facts;
    facts.discSide = vmg->vmgi_mat->disc_side == 2 ? 2 : 1;
    const int titleSets = vmg->vmgi_mat->vmg_nr_of_title_sets;
    // A damaged title set leaves the titles of the others playable.
    std::map<int, IfoPtr> sets;
    for (int setNumber = 1; setNumber <= titleSets; ++setNumber) {
        IfoPtr vts(ifoOpen(dvd.get(), setNumber));
        if (vts && vts->vtsi_mat && vts->vts_ptt_srpt && vts->vts_pgcit)
            sets.emplace(setNumber, std::move(vts));
    }
    for (int t = 0; t < titles->nr_of_srpts; ++t) {
        const title_info_t &title = titles->title[t];
        const auto found = sets.find(title.title_set_nr);
        // On a drive every title's start is a seek across the disc: only the
        // first title's is read there.
        facts.titles.push_back(found == sets.end()
                                    ? TitleFacts{title.nr_of_ptts, {}, {}, {}, Problem::NavigationDamaged, 0, {}, {}}
                                    : titleFacts(dvd.get(), title, *found->second, checkVobs || t == 0));
    }

    facts.volumeName = volumeName(dvd.get(), path);
    if (listFiles)
        facts.videoTsFiles = listVideoTs(dvd.get(), titleSets);

    // No identifier when an IFO it is made from cannot be read (a damaged title set).
    unsigned char id[16] = {};
    if (DVDDiscID(dvd.get(), id) != 0)
        return reading;
    // The identifier is an MD5 digest of the disc's IFO files; half of it (64
    // bits) still tells discs apart and fits the information dialog's label.
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) {
        facts.uniqueId += QLatin1Char(hex[id[i] >> 4]);
        facts.uniqueId += QLatin1Char(hex[id[i] & 15]);
    }
    return reading;
}

} // namespace playback::disc
