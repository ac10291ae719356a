#include "app/Failure.h"

#include "app/Errors.h"
#include "app/MessageBox.h"

#include <QCoreApplication>

namespace app {

QString describeFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const AppError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

void runHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        MsgBox(describeFailure(std::current_exception()), vbCritical, QCoreApplication::applicationName());
    }
}

} // namespace app
