#include "platform/errors.h"
#include "support/qtprinters.h"

#include <memory>
#include <cerrno>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace Qt::StringLiterals;

TEST(Errors, MessagesAndDescriptions)
{
    const TavoError tavo(u"Nieprawidłowy nagłówek FLAC."_s);
    EXPECT_EQ(tavo.message(), u"Nieprawidłowy nagłówek FLAC."_s);
    EXPECT_STREQ(tavo.what(), "Nieprawid\xc5\x82owy nag\xc5\x82\xc3\xb3wek FLAC.");

    const struct {
        int code, expected;
    } posix[] = {{ENOENT, ENOENT}, {EEXIST, EEXIST}, {ENOSPC, ENOSPC}, {0, EIO}};
    for (const auto &c : posix) {
        const PosixError error(c.code);
        EXPECT_EQ(error.code(), c.expected);
        EXPECT_FALSE(error.message().isEmpty());
        EXPECT_EQ(describe(error), error.message());
        EXPECT_EQ(QString::fromUtf8(error.what()), error.message());
    }
    EXPECT_EQ(PosixError(ENOENT).message(), u"Plik lub folder nie istnieje."_s);

    const NetworkError network(5, u"Operation canceled"_s, u"musicbrainz.org"_s);
    EXPECT_EQ(network.code(), 5);

    const std::runtime_error other("other");
    const struct {
        const std::exception *error;
        QString described;
    } described[] = {
        {&tavo, u"Nieprawidłowy nagłówek FLAC."_s},
        {&network, u"Przerwano połączenie z serwerem musicbrainz.org."_s},
        {&other, u"other"_s},
    };
    for (const auto &c : described) {
        EXPECT_EQ(describe(*c.error), c.described);
    }
    EXPECT_EQ(describe(std::make_exception_ptr(tavo)), tavo.message());
    EXPECT_EQ(describe(std::make_exception_ptr(42)), QString());
    EXPECT_EQ(describe(std::exception_ptr()), QString());
}

// Every errno a user meets with files and disks has a Polish text of ours; any
// other code keeps the system's own text after ours.
TEST(Errors, ErrnoTexts)
{
    const struct {
        int code;
        const char *text;
    } cases[] = {
        {ENOSPC, "Na dysku nie ma wolnego miejsca."},
        {EACCES, "Brak uprawnień do tego pliku lub folderu."},
        {EPERM, "Ta operacja nie jest dozwolona."},
        {EROFS, "Dysk jest tylko do odczytu."},
        {EIO, "Błąd odczytu lub zapisu dysku. Sprawdź połączenie z urządzeniem."},
        {ENOENT, "Plik lub folder nie istnieje."},
        {ENOTDIR, "Część ścieżki nie jest folderem."},
        {EISDIR, "W tym miejscu jest folder, a nie plik."},
        {EEXIST, "Plik lub folder o tej nazwie już istnieje."},
        {ENAMETOOLONG, "Nazwa pliku lub ścieżka jest za długa."},
        {EMFILE, "Otwarto zbyt wiele plików naraz."},
        {EXDEV, "Nie można przenieść pliku między różnymi dyskami."},
        {ENOTEMPTY, "Folder nie jest pusty."},
        {EBUSY, "Plik lub dysk jest zajęty przez inny program."},
        {ENODEV, "Urządzenie jest niedostępne. Sprawdź, czy dysk jest podłączony."},
        {ELOOP, "Ścieżka zawiera dowiązanie symboliczne."},
        {EFBIG, "Plik jest za duży dla systemu plików dysku."},
    };
    for (const auto &c : cases) {
        const PosixError error(c.code);
        EXPECT_EQ(error.message(), QString::fromUtf8(c.text)) << c.code;
        EXPECT_EQ(describe(error), error.message());
        EXPECT_FALSE(error.message().contains(error.systemText())) << c.code;
    }
    // A code without a text of ours: ours, then the system's in parentheses.
    const PosixError unknown(EDOM);
    EXPECT_EQ(unknown.message(), u"Błąd systemu ("_s + unknown.systemText() + u')');
    EXPECT_FALSE(unknown.systemText().isEmpty());

    // A failed QFile step is read back to its errno where Qt used the system's text.
    try {
        throwFileError(PosixError(ENOSPC).systemText());
        FAIL();
    } catch (const PosixError &e) {
        EXPECT_EQ(e.code(), ENOSPC);
    }
    try {
        throwFileError(u"Unknown error"_s);
        FAIL();
    } catch (const TavoError &e) {
        EXPECT_EQ(e.message(), u"Błąd pliku (Unknown error)"_s);
    }
}

TEST(Errors, NetworkTexts)
{
    const QString host = u"musicbrainz.org"_s;
    const struct {
        int code;
        const char *text;
        bool connection;
    } cases[] = {
        {3, "Brak połączenia z serwerem musicbrainz.org. Sprawdź połączenie z internetem.", true},
        {99, "Brak połączenia z serwerem musicbrainz.org. Sprawdź połączenie z internetem.", true},
        {1, "Serwer musicbrainz.org odmówił połączenia. Spróbuj ponownie później.", true},
        {2, "Serwer musicbrainz.org zerwał połączenie. Spróbuj ponownie później.", true},
        {4, "Serwer musicbrainz.org nie odpowiedział na czas. Sprawdź połączenie z internetem.", true},
        {5, "Przerwano połączenie z serwerem musicbrainz.org.", false},
        {6, "Nie udało się nawiązać bezpiecznego połączenia z serwerem musicbrainz.org. Sprawdź datę i godzinę "
            "komputera.",
         false},
        {103, "Serwer pośredniczący (proxy) nie połączył z serwerem musicbrainz.org. Sprawdź ustawienia sieci.", true},
        {399, "Serwer musicbrainz.org wysłał niepoprawną odpowiedź.", false},
        {299, "Serwer musicbrainz.org odpowiedział błędem. Spróbuj ponownie później.", false},
        {1000, "Błąd połączenia z serwerem musicbrainz.org (Something broke)", false},
    };
    for (const auto &c : cases) {
        const NetworkError error(c.code, u"Something broke"_s, host);
        EXPECT_EQ(error.message(), QString::fromUtf8(c.text)) << c.code;
        EXPECT_EQ(describe(error), error.message());
        EXPECT_EQ(error.isConnectionFailure(), c.connection) << c.code;
    }
    EXPECT_FALSE(isConnectionFailure(std::make_exception_ptr(TavoError(u"x"_s))));
    EXPECT_FALSE(isConnectionFailure(std::exception_ptr()));
}

TEST(Errors, ErrnoIsCapturedAndCopiesKeepTheirType)
{
    errno = EACCES;
    try {
        PosixError::throwErrno();
        FAIL();
    } catch (const PosixError &e) {
        EXPECT_EQ(e.code(), EACCES);
    }

    // Futures carry exceptions across threads through clone() and raise().
    const TavoError tavo(u"Podłącz iPoda."_s);
    std::unique_ptr<QException> tavoCopy(static_cast<const QException &>(tavo).clone());
    try {
        tavoCopy->raise();
        FAIL();
    } catch (const TavoError &e) {
        EXPECT_EQ(e.message(), u"Podłącz iPoda."_s);
    }

    const PosixError posix(ENOSPC);
    std::unique_ptr<QException> posixCopy(static_cast<const QException &>(posix).clone());
    try {
        posixCopy->raise();
        FAIL();
    } catch (const PosixError &e) {
        EXPECT_EQ(e.code(), ENOSPC);
    }
}
