#include "windows/dialogs/dvdinfo.h"

#include "app/Controls.h"
#include "app/FileListBox.h"
#include "app/Failure.h"
#include "windows/video/dvdw.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel *plainLabel(QWidget *parent, const char *name, const QString &caption)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

dvdinfo::dvdinfo() : app::Form(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    using namespace app;
    setObjectName(QStringLiteral("dvdinfo"));
    setWindowTitle(QStringLiteral("DVD Information"));
    setWindowIcon(icon(QStringLiteral("dvdinfo.ico")));
    setFont(defaultFont());
    setFixedClientSizeTwips(4680, 3195);

    // Labels first: the heading's bottom edge runs under the file list.
    Label2 = plainLabel(this, "Label2", QStringLiteral("Files on DVD Disc"));
    Label2->setAutoFillBackground(true); // opaque, in the window's own colour
    place(Label2, 2280, 120, 2055, 255);

    Label1 = plainLabel(this, "Label1", QString());
    place(Label1, 240, 480, 1935, 255);

    Label3 = plainLabel(this, "Label3", QStringLiteral("Unique DVD ID:"));
    place(Label3, 240, 960, 1935, 255);

    Label4 = plainLabel(this, "Label4", QString());
    place(Label4, 240, 1200, 1965, 195);

    Label6 = plainLabel(this, "Label6", QStringLiteral("Path:"));
    place(Label6, 240, 1560, 1455, 255);

    Label5 = plainLabel(this, "Label5", QString());
    // A long path takes the label's second line rather than running off its edge.
    Label5->setWordWrap(true);
    place(Label5, 240, 1800, 1935, 615);

    File = new FileListBox(this);
    File->setObjectName(QStringLiteral("File"));
    File->setAccessibleName(Label2->text());
    place(File, 2280, 360, 2295, 2625);

    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 600, 2640, 1095, 375);
    onEvent(Command1, &QPushButton::clicked, this, &dvdinfo::Command1_Click);
    enterPressesFocusedButton(this);

    // The labels take no focus; of the rest the file list comes first.
    QWidget::setTabOrder(File, Command1);
    File->setFocus();

    centreOnScreen();
}

void dvdinfo::Form_Load()
{
    showDisc();
    // Read again when the control learns more: a disc still being read when the
    // dialog opened, or another disc put in.
    connect(&dvd(), &playback::PlaybackControl::discChanged, this, [this] {
        for (QLabel *value : {Label1, Label4, Label5})
            value->clear();
        File->clear();
        app::runHandler([this] { showDisc(); });
    });
}

void dvdinfo::showDisc()
{
    // Continue-on-error: a value that cannot be read leaves its control as it
    // was, and the dialog opens in every case. A directory that cannot be
    // listed leaves the file list empty.
    app::StepRunner step;
    step([this] { File->setPath(dvd().DVDDirectory().toString()); });
    step([this] { Label1->setText(QStringLiteral("Disc Side: ") + QString::number(dvd().CurrentDiscSide().toInt32())); });
    step([this] { Label4->setText(dvd().DVDUniqueID().toString()); });
    step([this] { Label5->setText(dvd().DVDDirectory().toString()); });
}

void dvdinfo::Command1_Click() { Unload(); }
