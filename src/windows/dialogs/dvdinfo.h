#pragma once
// The disc information dialog: the side being played, the disc's unique
// identifier, the path of its video directory and the files in it, read when
// the dialog loads and again when the control learns of another disc (or of
// the one still being read then). Modeless, one instance.

#include "app/Form.h"

class QLabel;
class QPushButton;
namespace app {
class FileListBox;
}

class dvdinfo : public app::Form {
    Q_OBJECT
public:
    dvdinfo();

    void Form_Load() override;
    void showDisc();
    void Command1_Click();

    QLabel *Label2;
    app::FileListBox *File;
    QLabel *Label1, *Label3, *Label4, *Label6, *Label5;
    QPushButton *Command1;
};
