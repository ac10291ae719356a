#include "playback/disc/FactsProtocol.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>

namespace playback::disc {

namespace {

// A helper of another version is not understood.
constexpr int kVersion = 5;
// The most sub-streams a title can have (subtitles on 0..31), the most audio
// streams, and the most cells of a program chain.
constexpr qsizetype kMostSubpictures = 32, kMostAudio = 8, kMostCells = 255;
// A disc has at most 99 titles, and VIDEO_TS at most a dozen files for each of 99 title sets.
constexpr qsizetype kMostTitles = 99, kMostFiles = 1200;

QCborArray texts(const QStringList &list)
{
    QCborArray array;
    for (const QString &s : list)
        array.append(s);
    return array;
}

std::optional<QStringList> textsOf(const QCborValue &value, qsizetype most)
{
    if (!value.isArray() || value.toArray().size() > most)
        return std::nullopt;
    QStringList list;
    for (const QCborValue &item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        list << item.toString();
    }
    return list;
}

std::optional<Problem> problemOf(const QCborValue &value)
{
    if (!value.isInteger() || value.toInteger() < qint64(Problem::None) || value.toInteger() > qint64(kLastProblem))
        return std::nullopt;
    return Problem(value.toInteger());
}

// A time within a title: no title plays longer than a day.
bool isDuration(const QCborValue &value)
{
    constexpr qint64 kDayMs = 24LL * 3600 * 1000;
    return value.isInteger() && value.toInteger() >= 0 && value.toInteger() <= kDayMs;
}

std::optional<TitleFacts> titleOf(const QCborValue &value)
{
    const QCborMap t = value.toMap();
    const QCborValue chapters = t.value(QLatin1String("chapters"));
    auto subpictures = textsOf(t.value(QLatin1String("subpictures")), kMostSubpictures);
    auto audio = textsOf(t.value(QLatin1String("audio")), kMostAudio);
    const std::optional<Problem> problem = problemOf(t.value(QLatin1String("problem")));
    const QCborValue ids = t.value(QLatin1String("subpictureIds"));
    const QCborValue length = t.value(QLatin1String("length"));
    const QCborValue starts = t.value(QLatin1String("chapterStarts"));
    const QCborValue stills = t.value(QLatin1String("stills"));
    const QCborValue fps = t.value(QLatin1String("fps"));
    if (!value.isMap() || !chapters.isInteger() || chapters.toInteger() < 0 || chapters.toInteger() > 999
        || !subpictures || !audio || !problem || !ids.isArray() || ids.toArray().size() != subpictures->size()
        || !isDuration(length) || !starts.isArray() || starts.toArray().size() > chapters.toInteger()
        || !stills.isArray() || stills.toArray().size() > kMostCells || (fps != QCborValue(25) && fps != QCborValue(30)))
        return std::nullopt;
    TitleFacts title;
    title.chapters = int(chapters.toInteger());
    title.lengthMs = length.toInteger();
    title.framesPerSecond = int(fps.toInteger());
    for (const QCborValue &start : starts.toArray()) {
        if (!isDuration(start))
            return std::nullopt;
        title.chapterStartsMs.push_back(start.toInteger());
    }
    for (const QCborValue &still : stills.toArray()) {
        const QCborArray cell = still.toArray();
        if (!still.isArray() || !isDuration(cell.at(0)) || !isDuration(cell.at(1)) || cell.at(1).toInteger() < cell.at(0).toInteger()
            || !cell.at(2).isInteger() || cell.at(2).toInteger() < 1 || cell.at(2).toInteger() > TitleFacts::kEndlessStill)
            return std::nullopt;
        title.stills.push_back({cell.at(0).toInteger(), cell.at(1).toInteger(), int(cell.at(2).toInteger())});
    }
    title.subpictureLanguageCodes = std::move(*subpictures);
    title.audioLanguageCodes = std::move(*audio);
    title.problem = *problem;
    for (const QCborValue &id : ids.toArray()) {
        if (!id.isInteger() || id.toInteger() < -1 || id.toInteger() >= kMostSubpictures)
            return std::nullopt;
        title.subpictureStreamIds.push_back(int(id.toInteger()));
    }
    return title;
}

} // namespace

QByteArray encodeFacts(const FactsReading &reading)
{
    const Facts &facts = reading.facts;
    QCborArray titles;
    for (const TitleFacts &t : facts.titles) {
        QCborArray ids, starts, stills;
        for (int id : t.subpictureStreamIds)
            ids.append(id);
        for (std::int64_t start : t.chapterStartsMs)
            starts.append(qint64(start));
        for (const TitleFacts::Still &still : t.stills)
            stills.append(QCborArray{qint64(still.startMs), qint64(still.endMs), still.seconds});
        titles.append(QCborMap{{QLatin1String("chapters"), t.chapters},
                               {QLatin1String("subpictures"), texts(t.subpictureLanguageCodes)},
                               {QLatin1String("subpictureIds"), ids},
                               {QLatin1String("audio"), texts(t.audioLanguageCodes)},
                               {QLatin1String("problem"), int(t.problem)},
                               {QLatin1String("length"), qint64(t.lengthMs)},
                               {QLatin1String("chapterStarts"), starts},
                               {QLatin1String("stills"), stills},
                               {QLatin1String("fps"), t.framesPerSecond}});
    }
    return QCborMap{{QLatin1String("version"), kVersion},
                    {QLatin1String("failure"), int(reading.failure)},
                    {QLatin1String("side"), facts.discSide},
                    {QLatin1String("id"), facts.uniqueId},
                    {QLatin1String("volume"), facts.volumeName},
                    {QLatin1String("titles"), titles},
                    {QLatin1String("files"), texts(facts.videoTsFiles)}}
        .toCborValue()
        .toCbor();
}

std::optional<FactsReading> decodeFacts(const QByteArray &answer)
{
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(answer, &error);
    if (error.error != QCborError::NoError || error.offset != answer.size() || !value.isMap())
        return std::nullopt;
    const QCborMap map = value.toMap();
    const QCborValue side = map.value(QLatin1String("side")), id = map.value(QLatin1String("id")),
                     volume = map.value(QLatin1String("volume")), titles = map.value(QLatin1String("titles"));
    const std::optional<Problem> failure = problemOf(map.value(QLatin1String("failure")));
    std::optional<QStringList> files = textsOf(map.value(QLatin1String("files")), kMostFiles);
    if (map.value(QLatin1String("version")) != QCborValue(kVersion) || !failure || !side.isInteger()
        || (side.toInteger() != 1 && side.toInteger() != 2) || !id.isString() || !volume.isString()
        || !titles.isArray() || titles.toArray().size() > kMostTitles || !files)
        return std::nullopt;
    FactsReading reading;
    reading.failure = *failure;
    reading.facts.discSide = int(side.toInteger());
    reading.facts.uniqueId = id.toString();
    reading.facts.volumeName = volume.toString();
    reading.facts.videoTsFiles = std::move(*files);
    for (const QCborValue &t : titles.toArray()) {
        std::optional<TitleFacts> title = titleOf(t);
        if (!title)
            return std::nullopt;
        reading.facts.titles.push_back(std::move(*title));
    }
    return reading;
}

} // namespace playback::disc
