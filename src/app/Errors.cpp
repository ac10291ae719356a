#include "app/Errors.h"

namespace app {

AppError::AppError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message) {}

TypeMismatch::TypeMismatch(const QString &what)
    : AppError(QStringLiteral("Type mismatch: %1").arg(what)) {}

Overflow::Overflow(const QString &what)
    : AppError(QStringLiteral("Overflow: %1").arg(what)) {}

SubscriptOutOfRange::SubscriptOutOfRange(const QString &what)
    : AppError(QStringLiteral("Subscript out of range: %1").arg(what)) {}

InvalidArgument::InvalidArgument(const QString &what)
    : AppError(QStringLiteral("Invalid argument: %1").arg(what)) {}

} // namespace app
