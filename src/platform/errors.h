#pragma once

#include <QException>
#include <QString>
#include <QByteArray>
#include <exception>

// The one error of the services: a Polish, user-facing message.
// Derived from QException so that it crosses QtConcurrent jobs unchanged.
class TavoError : public QException
{
public:
    explicit TavoError(QString message);
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    TavoError *clone() const override { return new TavoError(*this); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A failed POSIX call, carrying its errno (EIO when errno was 0).
class PosixError : public QException
{
public:
    explicit PosixError(int code);
    int code() const noexcept { return m_code; }
    QString message() const;
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    PosixError *clone() const override { return new PosixError(*this); }

    // Throws PosixError for the current errno.
    [[noreturn]] static void throwErrno();

private:
    int m_code;
    QByteArray m_utf8;
};

// A failure of a network request itself (no connection, time-out, cancellation).
class NetworkError : public QException
{
public:
    NetworkError(int code, QString message);
    int code() const noexcept { return m_code; }
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    NetworkError *clone() const override { return new NetworkError(*this); }

private:
    int m_code;
    QString m_message;
    QByteArray m_utf8;
};

// The text the model shows for an error: the Polish message of a TavoError,
// the platform error's own text otherwise.
QString describe(const std::exception &error);
QString describe(std::exception_ptr error);
