#pragma once
// The application object: the last line of defence for the event boundary, so
// that a failure no handler dealt with is shown rather than ending the program.

#include <QApplication>

namespace app {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace app
