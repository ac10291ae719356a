#include "app/Application.h"

#include "app/Failure.h"
#include "app/MessageBox.h"

namespace app {

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        MsgBox(describeFailure(std::current_exception()), vbCritical, applicationName());
        return false;
    }
}

} // namespace app
