#pragma once

#include <QException>
#include <QString>
#include <QByteArray>
#include <exception>
#include <optional>

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
    // The user-facing Polish text of the code; a code without a text of ours
    // reads "Błąd systemu (" + the system's own text + ")".
    QString message() const;
    // The system's own text for the code (strerror).
    QString systemText() const;
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    PosixError *clone() const override { return new PosixError(*this); }

    // Throws PosixError for the current errno.
    [[noreturn]] static void throwErrno();

    // The Polish text of an errno value, or none when there is no text of ours.
    static std::optional<QString> knownText(int code);

private:
    int m_code;
    QByteArray m_utf8;
};

// A failed QFile/QSaveFile step, reported by its errorString(): the errno whose
// system text it is becomes a PosixError (so the user reads our text); any
// other failure reads "Błąd pliku (" + the text + ")".
[[noreturn]] void throwFileError(const QString &errorString);

// A failure of a network request itself (no connection, time-out, cancellation).
class NetworkError : public QException
{
public:
    // code: a QNetworkReply::NetworkError value (HttpClient::TimedOut and
    // HttpClient::Cancelled among them); systemText: Qt's own text for it;
    // host: the server the request went to.
    NetworkError(int code, QString systemText, QString host = QString());
    int code() const noexcept { return m_code; }
    const QString &host() const noexcept { return m_host; }
    const QString &systemText() const noexcept { return m_systemText; }
    // The user-facing Polish text, naming the server; a code without a text of
    // ours keeps the system's text after it, in parentheses.
    QString message() const;
    // True when the request failed for want of a connection to the service
    // (no network, name not resolved, refused, closed, no answer in time), as
    // opposed to a cancellation or an answer the client could not accept.
    bool isConnectionFailure() const;
    const char *what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    NetworkError *clone() const override { return new NetworkError(*this); }

private:
    int m_code;
    QString m_systemText;
    QString m_host;
    QByteArray m_utf8;
};

// The text the model shows for an error: the Polish message of a TavoError,
// PosixError or NetworkError, the error's own text otherwise.
QString describe(const std::exception &error);
QString describe(std::exception_ptr error);

// True when the error is a NetworkError for want of a connection.
bool isConnectionFailure(std::exception_ptr error);
