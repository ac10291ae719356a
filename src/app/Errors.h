#pragma once
// The failures the windows' statements can raise. Every failure is an exception
// derived from AppError; the three failure modes in Failure.h decide what
// happens to it.

#include <QString>

#include <stdexcept>

namespace app {

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString &message);
    // The plain message shown to the user when nothing handles the failure.
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A value that cannot be converted (a non-numeric text read as a number).
class TypeMismatch : public AppError {
public:
    explicit TypeMismatch(const QString &what);
};

// A number that does not fit the integer it is converted to.
class Overflow : public AppError {
public:
    explicit Overflow(const QString &what);
};

// A table index outside the table's bounds.
class SubscriptOutOfRange : public AppError {
public:
    explicit SubscriptOutOfRange(const QString &what);
};

// An argument that a call does not accept (a negative size, say).
class InvalidArgument : public AppError {
public:
    explicit InvalidArgument(const QString &what);
};

} // namespace app
