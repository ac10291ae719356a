#pragma once
// The subtitle language dialog: lists the languages of the disc's subtitle
// streams as the status poll last read them, preselects the control's current
// stream, and on "Done" hands the chosen stream to the control. Modeless, one
// instance; the list is a copy taken when the dialog loads.

#include "app/Form.h"

#include <cstdint>

class QComboBox;
class QPushButton;

class subtitles : public app::Form {
    Q_OBJECT
public:
    subtitles();

    void Form_Load() override;
    void Command1_Click();

    // The combo box's selection index: the list position of the chosen entry,
    // -1 when none is chosen. Typing in the text field clears the choice, as in
    // a classic drop-down combo; picking from the list makes it again.
    std::int16_t ListIndex() const;

    QComboBox *Combo1;
    QPushButton *Command1;

private:
    bool m_textTyped = false;
};
