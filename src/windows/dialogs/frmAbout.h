#pragma once
// The About box: the logo, the version built from the program's version
// numbers, and the maker's notice. Modal; every opening loads it afresh.

#include "Version.h"
#include "app/Form.h"

#include <cstdint>

class QLabel;
class QPushButton;

// "Version " and the three numbers in plain decimal, separated by dots.
QString versionText(std::int16_t major, std::int16_t minor, std::int16_t revision);

class frmAbout : public app::Form {
    Q_OBJECT
public:
    frmAbout();

    void Form_Load() override;
    void cmdOK_Click();

    QPushButton *cmdOK;
    QLabel *Image1;
    QLabel *Label1;
    QLabel *lblVersion;

protected:
    // Enter presses OK wherever the focus is; so does Escape.
    void keyPressEvent(QKeyEvent *event) override;
};
