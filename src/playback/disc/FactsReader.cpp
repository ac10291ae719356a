#include "playback/disc/FactsReader.h"

#include "playback/disc/DvdRead.h"

#include <dvdread/ifo_types.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace playback::disc {

namespace {

// The title's VOBs must hold every sector its cells point at: a truncated VOB
// or a truncated image has valid IFOs but cannot be played to the end.
bool titleVobsComplete(dvd_reader_t *dvd, int titleSet, const ifo_handle_t *vts)
{
    const c_adt_t *cells = vts->vts_c_adt;
    if (!cells || !cells->cell_adr_table || cells->last_byte + 1 < C_ADT_SIZE)
        return false;
    const unsigned count = (cells->last_byte + 1 - C_ADT_SIZE) / sizeof(cell_adr_t);
    if (count == 0)
        return false;
    uint32_t last = 0;
    for (unsigned i = 0; i < count; ++i)
        last = std::max(last, cells->cell_adr_table[i].last_sector);
    FilePtr vobs(DVDOpenFile(dvd, titleSet, DVD_READ_TITLE_VOBS));
    if (!vobs)
        return false;
    if (DVDFileSize(vobs.get()) < ssize_t(last) + 1)
        return false;
    unsigned char block[DVD_VIDEO_LB_LEN];
    return DVDReadBlocks(vobs.get(), 0, 1, block) == 1 && DVDReadBlocks(vobs.get(), int(last), 1, block) == 1;
}

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

// The program chain a title starts with, or null when the IFO does not say.
const pgc_t *firstProgramChain(const ifo_handle_t *vts, int vtsTitle)
{
    const vts_ptt_srpt_t *ptts = vts->vts_ptt_srpt;
    if (!ptts || !vts->vts_pgcit || vtsTitle < 1 || vtsTitle > ptts->nr_of_srpts)
        return nullptr;
    const ttu_t &ttu = ptts->title[vtsTitle - 1];
    if (ttu.nr_of_ptts < 1 || !ttu.ptt)
        return nullptr;
    const int pgcn = ttu.ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp)
        return nullptr;
    return vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
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
    if (folder.dirName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
        folder.cdUp();
    return folder.dirName();
}

FactsReading fail(FactsFailure failure, int arg = 0)
{
    FactsReading r;
    r.failure = failure;
    r.failureArg = arg;
    return r;
}

} // namespace

FactsReading readFactsHere(const char *path, bool checkVobs, bool listFiles)
{
    DvdPtr dvd = openDvd(path);
    if (!dvd)
        return fail(FactsFailure::Open);
    IfoPtr vmg(ifoOpen(dvd.get(), 0));
    if (!vmg || !vmg->vmgi_mat)
        return fail(FactsFailure::NoVmg);
    const tt_srpt_t *titles = vmg->tt_srpt;
    if (!titles || !titles->title || titles->nr_of_srpts == 0)
        return fail(FactsFailure::NoTitles);

    FactsReading reading;
    Facts &facts = reading.facts;
    facts.discSide = vmg->vmgi_mat->disc_side == 2 ? 2 : 1;
    const int titleSets = vmg->vmgi_mat->vmg_nr_of_title_sets;
    // Every title set, not only those with titles: the engine reads them all.
    std::map<int, IfoPtr> sets;
    for (int setNumber = 1; setNumber <= titleSets; ++setNumber) {
        IfoPtr vts(ifoOpen(dvd.get(), setNumber));
        if (!vts || !vts->vtsi_mat)
            return fail(FactsFailure::TitleSetUnreadable, setNumber);
        // A drive holds a pressed or burnt disc, not a file that can be cut
        // short, and reading its far end would spin it up for nothing.
        if (checkVobs && !titleVobsComplete(dvd.get(), setNumber, vts.get()))
            return fail(FactsFailure::VobsIncomplete, setNumber);
        sets.emplace(setNumber, std::move(vts));
    }
    for (int t = 0; t < titles->nr_of_srpts; ++t) {
        const title_info_t &title = titles->title[t];
        const auto found = sets.find(title.title_set_nr);
        if (found == sets.end())
            return fail(FactsFailure::MissingTitleSet, t + 1);
        const vtsi_mat_t *mat = found->second->vtsi_mat;
        TitleFacts raw;
        raw.chapters = title.nr_of_ptts;
        const pgc_t *pgc = firstProgramChain(found->second.get(), title.vts_ttn);
        const bool wide = mat->vts_video_attr.display_aspect_ratio == 3;
        const int subpictures = std::min<int>(mat->nr_of_vts_subp_streams, 32);
        for (int i = 0; i < subpictures; ++i) {
            const subp_attr_t &attr = mat->vts_subp_attr[i];
            raw.subpictureLanguageCodes << (attr.type == 1 ? codeFromAttribute(attr.lang_code) : QString());
            raw.subpictureStreamIds.push_back(pgc ? subpictureStreamId(pgc->subp_control[i], wide) : i);
        }
        const int audio = std::min<int>(mat->nr_of_vts_audio_streams, 8);
        for (int i = 0; i < audio; ++i) {
            const audio_attr_t &attr = mat->vts_audio_attr[i];
            raw.audioLanguageCodes << (attr.lang_type == 1 ? codeFromAttribute(attr.lang_code) : QString());
        }
        facts.titles.push_back(std::move(raw));
    }

    facts.volumeName = volumeName(dvd.get(), path);
    if (listFiles)
        facts.videoTsFiles = listVideoTs(dvd.get(), titleSets);

    unsigned char id[16] = {};
    if (DVDDiscID(dvd.get(), id) != 0)
        return fail(FactsFailure::NoId);
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
