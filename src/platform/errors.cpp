#include "platform/errors.h"

#include <cerrno>
#include <cstring>

TavoError::TavoError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

PosixError::PosixError(int code)
    : m_code(code == 0 ? EIO : code)
{
    m_utf8 = message().toUtf8();
}

QString PosixError::message() const
{
    // strerror_r (GNU variant) returns a pointer that may or may not be the buffer.
    char buffer[256] = {};
    const char *text = strerror_r(m_code, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

void PosixError::throwErrno()
{
    throw PosixError(errno);
}

NetworkError::NetworkError(int code, QString message)
    : m_code(code), m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

QString describe(const std::exception &error)
{
    if (auto tavo = dynamic_cast<const TavoError *>(&error))
        return tavo->message();
    if (auto posix = dynamic_cast<const PosixError *>(&error))
        return posix->message();
    if (auto network = dynamic_cast<const NetworkError *>(&error))
        return network->message();
    return QString::fromUtf8(error.what());
}

QString describe(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return describe(e);
    } catch (...) {
    }
    return QString();
}
