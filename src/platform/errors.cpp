#include "platform/errors.h"

#include <QNetworkReply>
#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

TavoError::TavoError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

namespace {

struct ErrnoText {
    int code;
    const char16_t *text;
};

// The codes a user meets when working with files and disks. The English rows
// of the translation table render each of them.
constexpr ErrnoText errnoTexts[] = {
    {ENOSPC, u"Na dysku nie ma wolnego miejsca."},
    {EACCES, u"Brak uprawnień do tego pliku lub folderu."},
    {EPERM, u"Ta operacja nie jest dozwolona."},
    {EROFS, u"Dysk jest tylko do odczytu."},
    {EIO, u"Błąd odczytu lub zapisu dysku. Sprawdź połączenie z urządzeniem."},
    {ENOENT, u"Plik lub folder nie istnieje."},
    {ENOTDIR, u"Część ścieżki nie jest folderem."},
    {EISDIR, u"W tym miejscu jest folder, a nie plik."},
    {EEXIST, u"Plik lub folder o tej nazwie już istnieje."},
    {ENAMETOOLONG, u"Nazwa pliku lub ścieżka jest za długa."},
    {EMFILE, u"Otwarto zbyt wiele plików naraz."},
    {ENFILE, u"Otwarto zbyt wiele plików naraz."},
    {EXDEV, u"Nie można przenieść pliku między różnymi dyskami."},
    {ENOTEMPTY, u"Folder nie jest pusty."},
    {EBUSY, u"Plik lub dysk jest zajęty przez inny program."},
    {ENODEV, u"Urządzenie jest niedostępne. Sprawdź, czy dysk jest podłączony."},
    {ENXIO, u"Urządzenie jest niedostępne. Sprawdź, czy dysk jest podłączony."},
    {ELOOP, u"Ścieżka zawiera dowiązanie symboliczne."},
    {EFBIG, u"Plik jest za duży dla systemu plików dysku."},
    {EINVAL, u"Nazwa lub operacja nie jest obsługiwana przez system plików."},
    {ETIMEDOUT, u"Urządzenie nie odpowiedziało na czas."},
    {ENOMEM, u"Za mało pamięci."},
};

QString strerrorText(int code)
{
    // strerror_r (GNU variant) returns a pointer that may or may not be the buffer.
    char buffer[256] = {};
    const char *text = strerror_r(code, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

} // namespace

PosixError::PosixError(int code)
    : m_code(code == 0 ? EIO : code)
{
    m_utf8 = message().toUtf8();
}

std::optional<QString> PosixError::knownText(int code)
{
    for (const ErrnoText &entry : errnoTexts) {
        if (entry.code == code)
            return QString::fromUtf16(entry.text);
    }
    return std::nullopt;
}

QString PosixError::systemText() const
{
    return strerrorText(m_code);
}

QString PosixError::message() const
{
    if (std::optional<QString> known = knownText(m_code))
        return *known;
    return u"Błąd systemu ("_s + systemText() + u')';
}

void PosixError::throwErrno()
{
    throw PosixError(errno);
}

void throwFileError(const QString &errorString)
{
    // Qt words a failed file call with the system's text for its errno.
    for (const ErrnoText &entry : errnoTexts) {
        if (errorString.compare(strerrorText(entry.code), Qt::CaseInsensitive) == 0)
            throw PosixError(entry.code);
    }
    throw TavoError(u"Błąd pliku ("_s + errorString + u')');
}

NetworkError::NetworkError(int code, QString systemText, QString host)
    : m_code(code), m_systemText(std::move(systemText)), m_host(std::move(host))
{
    m_utf8 = message().toUtf8();
}

bool NetworkError::isConnectionFailure() const
{
    switch (m_code) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

QString NetworkError::message() const
{
    const QString host = m_host.isEmpty() ? u"?"_s : m_host;
    const auto withHost = [&](const QString &text) { return QString(text).replace(u"{0}"_s, host); };
    switch (m_code) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return withHost(u"Brak połączenia z serwerem {0}. Sprawdź połączenie z internetem."_s);
    case QNetworkReply::ConnectionRefusedError:
        return withHost(u"Serwer {0} odmówił połączenia. Spróbuj ponownie później."_s);
    case QNetworkReply::RemoteHostClosedError:
        return withHost(u"Serwer {0} zerwał połączenie. Spróbuj ponownie później."_s);
    case QNetworkReply::TimeoutError:
        return withHost(u"Serwer {0} nie odpowiedział na czas. Sprawdź połączenie z internetem."_s);
    case QNetworkReply::OperationCanceledError:
        return withHost(u"Przerwano połączenie z serwerem {0}."_s);
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return withHost(u"Nie udało się nawiązać bezpiecznego połączenia z serwerem {0}. Sprawdź datę i godzinę komputera."_s);
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return withHost(u"Serwer pośredniczący (proxy) nie połączył z serwerem {0}. Sprawdź ustawienia sieci."_s);
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
        return withHost(u"Serwer {0} wysłał niepoprawną odpowiedź."_s);
    default:
        break;
    }
    const int status = m_code;
    if (status >= 201 && status <= 499)
        return withHost(u"Serwer {0} odpowiedział błędem. Spróbuj ponownie później."_s);
    return withHost(u"Błąd połączenia z serwerem {0}"_s) + u" ("_s + m_systemText + u')';
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

bool isConnectionFailure(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const NetworkError &e) {
        return e.isConnectionFailure();
    } catch (...) {
    }
    return false;
}
