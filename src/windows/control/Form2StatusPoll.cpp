// The status poll, run by Timer1 twice a second: the play position, the
// progress bar, the chapter or title, the subtitle language table and the
// title's length. Every statement stands alone: one that fails is abandoned
// and the tick goes on, so a missing disc leaves old captions in place rather
// than stopping the display.

#include "windows/control/Form2.h"

#include "app/Errors.h"
#include "app/Failure.h"
#include "app/PictureBox.h"
#include "playback/Variant.h"
#include "startup/Module1.h"
#include "windows/video/dvdw.h"

#include <QColor>
#include <QLabel>

#include <algorithm>
#include <cstdint>

using app::StepRunner;
using playback::parseNumber;
using playback::Variant;

namespace {

// A time text shorter than this (HH:MM:SS:F) carries no time.
constexpr int kShortestTimeText = 10;
// The bar's height in twips: more than the indicator's, so both rectangles reach its bottom edge.
constexpr float kBarHeight = 150.0f;

std::int32_t minusOne(std::int32_t title)
{
    std::int32_t result;
    if (__builtin_sub_overflow(title, 1, &result))
        throw app::Overflow(QStringLiteral("title %1 minus 1").arg(title));
    return result;
}

std::int16_t toStreamCount(std::int32_t available) { return Variant::fromInt32(available).toInt16(); }

} // namespace

void Form2::Timer1_Timer()
{
    StepRunner step;
    // Working values of this tick only; empty numbers count as 0.
    QString positionText, totalText;
    QString positionHours, positionMinutes, positionSecondsField;
    QString totalHours, totalMinutes, totalSecondsField;
    double totalSeconds = 0.0, positionSeconds = 0.0;

    step([&] { positionText = dvd().CurrentTime().toString(); });
    step([&] { totalText = dvd().TotalTitleTime().toString(); });

    // A text too short to be a time gives a full bar (1 of 1) and leaves the
    // position labels as they are.
    if (step.test([&] { return positionText.size() < kShortestTimeText; })) {
        step([&] { totalSeconds = 1; });
        step([&] { positionSeconds = 1; });
    } else if (step.test([&] { return totalText.size() < kShortestTimeText; })) {
        step([&] { totalSeconds = 1; });
        step([&] { positionSeconds = 1; });
    } else {
        // The fields stand at fixed places in HH:MM:SS:FF; the frames are not shown.
        step([&] { positionHours = positionText.mid(0, 2); });
        step([&] { positionMinutes = positionText.mid(3, 2); });
        step([&] { positionSecondsField = positionText.mid(6, 2); });
        step([&] { totalHours = totalText.mid(0, 2); });
        step([&] { totalMinutes = totalText.mid(3, 2); });
        step([&] { totalSecondsField = totalText.mid(6, 2); });

        // The labels show the fields exactly as cut, numbers or not.
        step([&] { Label1[0]->setText(positionHours); });
        step([&] { Label1[1]->setText(positionMinutes); });
        step([&] { Label1[2]->setText(positionSecondsField); });

        // A field that is not a number leaves its count at 0.
        step([&] {
            totalSeconds = parseNumber(totalHours) * 60 * 60 + parseNumber(totalMinutes) * 60
                + parseNumber(totalSecondsField);
        });
        step([&] {
            positionSeconds = parseNumber(positionHours) * 60 * 60 + parseNumber(positionMinutes) * 60
                + parseNumber(positionSecondsField);
        });
    }

    // The bar: red up to the position, black after it. A zero total is no
    // scale; the indicator then keeps the one it had.
    step([&] { Progres->setScaleWidth(float(totalSeconds)); });
    step([&] { Progres->fillRect(0, 0, float(positionSeconds), kBarHeight, QColor(200, 0, 0)); });
    step([&] {
        const float W = Progres->scaleWidth();
        Progres->fillRect(float(positionSeconds + 1), 0, W, kBarHeight, QColor(0, 0, 0));
    });

    // "Chapter n" in title 1, "Title n" (one less) in the others. The title is
    // read afresh for each test and for the caption.
    if (step.test([&] { return dvd().CurrentTitle().toInt32() != 1; })) {
        step([&] {
            const std::int32_t shown = minusOne(dvd().CurrentTitle().toInt32());
            Chap->setText(QStringLiteral("Title ") + QString::number(shown));
        });
    }
    if (step.test([&] { return dvd().CurrentTitle().toInt32() == 1; })) {
        step([&] {
            const std::int32_t chapter = dvd().CurrentChapter().toInt32();
            Chap->setText(QStringLiteral("Chapter ") + QString::number(chapter));
        });
    }

    // The subtitle languages: a count that does not fit 16 bits keeps the previous one.
    step([&] { Module1::SubtitleStreamCount = toStreamCount(dvd().SubpictureStreamsAvailable().toInt32()); });

    // Streams above the table's last entry have no place in it, so the loop
    // ends there.
    const int lastStream = std::min<int>(Module1::SubtitleStreamCount, Module1::kSubtitleLanguagesUpper);
    for (int i = 1; i <= lastStream; ++i) {
        step([&] {
            QString &entry = Module1::subtitleLanguage(i);
            entry = dvd().GetSubpictureLanguage(Variant::fromInt32(i)).toString();
        });
    }

    // The title's length, HH:MM:SS.
    step([&] { Label3->setText(dvd().TotalTitleTime().toString().left(8)); });
}
