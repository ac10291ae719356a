// The control window's status poll fed with whatever the playback control
// might answer: any mix of time texts, numbers, Booleans, empty values and
// failures. The poll must never let a failure escape, and the panel must keep
// the shapes it is laid out for.

#include "startup/Module1.h"
#include "support/FakeDvd.h"
#include "windows/control/Form2.h"

#include "app/Form.h"
#include "app/MessageBox.h"

#include <QApplication>
#include <QLabel>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using playback::Variant;

namespace {

Form2 *form = nullptr;

Variant anyValue(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return Variant();
    case 1: return Variant::fromBool(in.ConsumeBool());
    case 2: return Variant::fromInt32(in.ConsumeIntegral<std::int32_t>());
    case 3: return Variant::fromDouble(in.ConsumeFloatingPoint<double>());
    case 4: return Variant::fromInt16(in.ConsumeIntegral<std::int16_t>());
    default: return Variant::fromString(QString::fromUtf8(in.ConsumeRandomLengthString(24)));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    FakeDvd::install();
    app::setMsgBoxPresenter([](const QString &, app::MsgBoxStyle, const QString &) { std::abort(); });
    form = &app::Forms::show<Form2>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FakeDvd *dvd = FakeDvd::current();
    FuzzedDataProvider in(data, size);
    for (const char *op : {"CurrentTime", "TotalTitleTime", "CurrentTitle", "CurrentChapter",
                           "SubpictureStreamsAvailable"}) {
        if (in.ConsumeBool())
            dvd->fails(QLatin1String(op));
        else
            dvd->returns(QLatin1String(op), anyValue(in));
    }
    const int languages = in.ConsumeIntegralInRange(0, 60);
    for (int i = 1; i <= languages; ++i)
        dvd->language(i, QString::fromUtf8(in.ConsumeRandomLengthString(12)));

    form->Timer1_Timer();

    for (QLabel *field : form->Label1) {
        if (field->text().size() > 2)
            std::abort();
    }
    if (form->Label3->text().size() > 8)
        std::abort();
    const QString chapter = form->Chap->text();
    if (!chapter.isEmpty() && !chapter.startsWith(QLatin1String("Title "))
        && !chapter.startsWith(QLatin1String("Chapter ")))
        std::abort();
    if (Module1::SubtitleStreamCount < -32768 || Module1::SubtitleStreamCount > 32767)
        std::abort();
    dvd->clearCalls();
    return 0;
}
