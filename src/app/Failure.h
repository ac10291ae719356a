#pragma once
// The three ways a handler deals with failure.
//
//  - Trapped: the handler catches the failure itself (a plain try/catch).
//  - Continue-on-error: a StepRunner runs each statement as a whole; a failing
//    statement is abandoned and the next one runs. Each statement computes its
//    values before it assigns anything, so a failure leaves nothing half done.
//  - No handling: the handler lets the failure escape; runHandler() at the
//    event boundary stops it there and shows it as an error message box.

#include <QObject>

#include <exception>
#include <functional>

namespace app {

// The message shown for a failure nothing handled.
QString describeFailure(std::exception_ptr failure);

// Runs an event handler; a failure it does not handle ends the handler and is
// shown to the user, and the program goes on. Exceptions never reach Qt.
void runHandler(const std::function<void()> &handler);

// Connects a signal to a handler through runHandler().
template<typename Sender, typename Signal, typename Receiver>
QMetaObject::Connection onEvent(Sender *sender, Signal signal, Receiver *receiver, void (Receiver::*handler)())
{
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        runHandler([receiver, handler] { (receiver->*handler)(); });
    });
}

class StepRunner {
public:
    // One statement: runs it, or abandons it as a whole when it fails.
    template<typename Statement>
    void operator()(Statement &&statement)
    {
        try {
            statement();
        } catch (...) {
        }
    }

    // The condition of a conditional statement. A condition that fails counts
    // as true: execution goes on with the first statement inside the branch.
    template<typename Condition>
    bool test(Condition &&condition)
    {
        try {
            return condition();
        } catch (...) {
            return true;
        }
    }
};

} // namespace app
