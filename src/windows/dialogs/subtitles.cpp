#include "windows/dialogs/subtitles.h"

#include "app/Controls.h"
#include "app/Errors.h"
#include "app/Failure.h"
#include "startup/Module1.h"
#include "windows/video/dvdw.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

subtitles::subtitles()
    : app::Form(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    using namespace app;
    setObjectName(QStringLiteral("subtitles"));
    setWindowTitle(QStringLiteral("Select Language"));
    setFont(defaultFont());
    setFixedClientSizeTwips(3240, 585);
    hideTaskbarButton(); // a tool window

    // The two controls do not overlap; the button comes first in the tab order.
    Command1 = new QPushButton(QStringLiteral("Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    // Neither the default nor the cancel button: Enter in the list and Escape
    // leave it alone. Enter presses it when it has the focus.
    place(Command1, 2400, 120, 735, 300);

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    // The text field is for looking, not for adding: typed text never becomes an
    // entry, and is not completed from the list.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    Combo1->setAccessibleName(QStringLiteral("Subtitle language"));
    place(Combo1, 120, 120, 2175, 315);
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, [this] { m_textTyped = true; });
    connect(Combo1, &QComboBox::activated, this, [this] { m_textTyped = false; });
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { m_textTyped = false; });

    QWidget::setTabOrder(Command1, Combo1);
    Command1->setFocus();
    onEvent(Command1, &QPushButton::clicked, this, &subtitles::Command1_Click);
    enterPressesFocusedButton(this);

    centreOnScreen();
}

std::int16_t subtitles::ListIndex() const { return std::int16_t(m_textTyped ? -1 : Combo1->currentIndex()); }

void subtitles::Form_Load()
{
    // A control that cannot name its current stream leaves nothing selected;
    // the dialog opens all the same.
    std::int32_t stream = 0;
    try {
        stream = dvd().CurrentSubpictureStream().toInt32();
    } catch (const app::AppError &) {
        stream = 0;
    }

    // The bound is read once. The table ends at entry 50, so a larger count
    // lists what the table holds.
    const int count = std::min<int>(Module1::SubtitleStreamCount, Module1::kSubtitleLanguagesUpper);
    for (int i = 1; i <= count; ++i)
        Combo1->addItem(Module1::subtitleLanguage(i));

    // Stream k stands at list position k - 1; a stream with no position there
    // (0, negative, beyond the list) selects nothing.
    const int index = stream >= 1 && stream <= Combo1->count() ? stream - 1 : -1;
    Combo1->setCurrentIndex(index);
    m_textTyped = false;
}

void subtitles::Command1_Click()
{
    // Continue-on-error: the dialog closes whatever the control says.
    app::StepRunner step;
    std::int16_t chosen = 0;
    // The list holds at most 50 entries, so the next stream number fits 16 bits.
    step([&] { chosen = std::int16_t(ListIndex() + 1); });
    step([&] { dvd().setCurrentSubpictureStream(playback::Variant::fromInt32(chosen)); });
    step([&] { Unload(); });
}

