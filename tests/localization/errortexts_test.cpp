// The English rows of the texts the program composes from errors and counts:
// every error text of ours reads English in the English interface, also behind
// the fixed prefixes that stand before it, and every count agrees with its
// number in both languages.

#include "localization/applocalizer.h"

#include "platform/errors.h"
#include "platform/text.h"
#include "support/qtprinters.h"

#include <QNetworkReply>
#include <cerrno>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ErrorTexts : public ::testing::Test
{
protected:
    void SetUp() override { AppLocalizer::resetTables(); }
    static QString en(const QString &polish) { return AppLocalizer::translateEnglish(polish, 0); }
};

TEST_F(ErrorTexts, EveryErrnoTextReadsEnglish)
{
    const struct {
        int code;
        const char *english;
    } cases[] = {
        {ENOSPC, "There is no free space left on the disk."},
        {EACCES, "You do not have permission to use this file or folder."},
        {EPERM, "This operation is not permitted."},
        {EROFS, "The disk is read-only."},
        {EIO, "The disk could not be read or written. Check the connection to the device."},
        {ENOENT, "The file or folder does not exist."},
        {ENOTDIR, "Part of the path is not a folder."},
        {EISDIR, "There is a folder here, not a file."},
        {EEXIST, "A file or folder with this name already exists."},
        {ENAMETOOLONG, "The file name or path is too long."},
        {EMFILE, "Too many files are open at once."},
        {ENFILE, "Too many files are open at once."},
        {EXDEV, "A file cannot be moved between different disks."},
        {ENOTEMPTY, "The folder is not empty."},
        {EBUSY, "The file or disk is in use by another program."},
        {ENODEV, "The device is unavailable. Check that the disk is connected."},
        {ENXIO, "The device is unavailable. Check that the disk is connected."},
        {ELOOP, "The path contains a symbolic link."},
        {EFBIG, "The file is too large for the disk's file system."},
        {EINVAL, "The file system does not support this name or operation."},
        {ETIMEDOUT, "The device did not respond in time."},
        {ENOMEM, "Not enough memory."},
    };
    for (const auto &c : cases) {
        const QString polish = PosixError(c.code).message();
        const QString english = QString::fromUtf8(c.english);
        EXPECT_EQ(en(polish), english) << c.code;
        // The places that show the text after words of their own.
        EXPECT_EQ(en(u"Nie udało się pobrać okładki: "_s + polish), u"Could not download the cover: "_s + english)
            << c.code;
        EXPECT_EQ(en(polish + u"\n\nCzęść utworów mogła już zostać wgrana. Możesz ponowić transfer — identyczne "
                              u"pliki zostaną pominięte."_s),
                  english + u"\n\nSome tracks may already have been uploaded. You can retry the transfer — identical "
                            u"files will be skipped."_s)
            << c.code;
        EXPECT_EQ(en(u"Nie zapisano okładki albumu „Kind of Blue”:\n"_s + polish),
                  u"The cover of the album “Kind of Blue” was not saved:\n"_s + english)
            << c.code;
    }
    const PosixError unknown(EDOM);
    EXPECT_EQ(en(unknown.message()), u"System error ("_s + unknown.systemText() + u')');
    EXPECT_EQ(en(u"Błąd pliku (Unknown error)"_s), u"File error (Unknown error)"_s);
}

TEST_F(ErrorTexts, EveryNetworkTextReadsEnglish)
{
    const struct {
        int code; // a QNetworkReply::NetworkError value, or one Qt does not know
        const char *english;
    } cases[] = {
        {QNetworkReply::HostNotFoundError, "No connection to the server musicbrainz.org. Check the internet connection."},
        {QNetworkReply::ConnectionRefusedError, "The server musicbrainz.org refused the connection. Try again later."},
        {QNetworkReply::RemoteHostClosedError, "The server musicbrainz.org closed the connection. Try again later."},
        {QNetworkReply::TimeoutError,
         "The server musicbrainz.org did not answer in time. Check the internet connection."},
        {QNetworkReply::OperationCanceledError, "The connection to the server musicbrainz.org was cancelled."},
        {QNetworkReply::SslHandshakeFailedError,
         "Could not make a secure connection to the server musicbrainz.org. Check this computer's date and time."},
        {QNetworkReply::ProxyNotFoundError,
         "The proxy server did not connect to the server musicbrainz.org. Check the network settings."},
        {QNetworkReply::ProtocolFailure, "The server musicbrainz.org sent an invalid answer."},
        {QNetworkReply::InternalServerError, "The server musicbrainz.org answered with an error. Try again later."},
        {1000, "Connection error with the server musicbrainz.org (Something broke)"},
    };
    for (const auto &c : cases) {
        const QString polish = NetworkError(c.code, u"Something broke"_s, u"musicbrainz.org"_s).message();
        const QString english = QString::fromUtf8(c.english);
        EXPECT_EQ(en(polish), english) << c.code;
        EXPECT_EQ(en(u"Nie udało się pobrać okładki: "_s + polish), u"Could not download the cover: "_s + english)
            << c.code;
    }
}

TEST_F(ErrorTexts, PlayerAndUnmountTextsReadEnglish)
{
    const struct {
        const char *polish;
        const char *english;
    } cases[] = {
        {"Nie można odtworzyć pliku: Odtwarzacz nie może otworzyć tego pliku.",
         "Cannot play the file: The player cannot open this file."},
        {"Nie można odtworzyć pliku: Format tego pliku nie jest obsługiwany.",
         "Cannot play the file: This file format is not supported."},
        {"Nie można odtworzyć pliku: Brak uprawnień do odczytu tego pliku.",
         "Cannot play the file: You do not have permission to read this file."},
        {"Nie można odtworzyć pliku: Błąd odtwarzacza (Demuxing failed)",
         "Cannot play the file: Player error (Demuxing failed)"},
        {"Błąd dekodowania audio: Format tego pliku nie jest obsługiwany.",
         "Audio decoding error: This file format is not supported."},
        {"Nie można odtworzyć pliku: Ten komputer nie może odtworzyć tego pliku lub wyjście audio jest niedostępne.",
         "Cannot play the file: This computer cannot play this file, or the audio output is unavailable."},
        {"Nie udało się odmontować dysku: inny program używa plików z tego dysku. Zamknij je i spróbuj ponownie.",
         "Could not unmount the disk: another program is using files on it. Close them and try again."},
        {"Nie udało się odmontować dysku: nieznany błąd (Error unmounting /dev/sdb1: x)",
         "Could not unmount the disk: unknown error (Error unmounting /dev/sdb1: x)"},
        {"Brak połączenia z katalogiem motywów Rockbox. Możesz dodać własne zrzuty.",
         "No connection to the Rockbox theme gallery. You can add your own screenshots."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(en(QString::fromUtf8(c.polish)), QString::fromUtf8(c.english)) << c.polish;
}

// Each counted noun: its three Polish forms through the plural helper, and the
// English rows that make "1" singular and every other number plural.
TEST_F(ErrorTexts, CountsAgreeInBothLanguages)
{
    const struct {
        const char16_t *one, *few, *many;
        const char *englishOne, *englishOther;
    } nouns[] = {
        {u"{0} utwór", u"{0} utwory", u"{0} utworów", "{0} track", "{0} tracks"},
        {u"{0} album", u"{0} albumy", u"{0} albumów", "{0} album", "{0} albums"},
        {u"{0} bajt", u"{0} bajty", u"{0} bajtów", "{0} byte", "{0} bytes"},
        {u"{0} zainstalowany motyw", u"{0} zainstalowane motywy", u"{0} zainstalowanych motywów",
         "{0} installed theme", "{0} installed themes"},
        {u"{0} kopia na komputerze", u"{0} kopie na komputerze", u"{0} kopii na komputerze",
         "{0} backup on this computer", "{0} backups on this computer"},
        {u"{0} identyczny plik", u"{0} identyczne pliki", u"{0} identycznych plików", "{0} identical file",
         "{0} identical files"},
    };
    const qint64 numbers[] = {0, 1, 2, 4, 5, 11, 12, 14, 21, 22, 25, 101, 111, 112, 122};
    for (const auto &noun : nouns) {
        for (const qint64 n : numbers) {
            const QString polish = text::count(n, noun.one, noun.few, noun.many);
            const QString english = QString::fromUtf8(n == 1 ? noun.englishOne : noun.englishOther)
                                        .replace(u"{0}"_s, QString::number(n));
            EXPECT_EQ(en(polish), english) << polish.toStdString();
        }
    }
}

TEST_F(ErrorTexts, ComposedCountTextsReadEnglish)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const struct {
        QString polish;
        const char *english;
    } cases[] = {
        {text::count(0, u"{0} utwór", u"{0} utwory", u"{0} utworów") + u" · "_s + text::byteCount(0),
         "0 tracks · 0 bytes"},
        {text::count(1, u"{0} utwór", u"{0} utwory", u"{0} utworów") + u" · "_s + text::byteCount(1),
         "1 track · 1 byte"},
        {text::count(2, u"{0} utwór", u"{0} utwory", u"{0} utworów") + u" · "_s + text::byteCount(8'300'000),
         "2 tracks · 8.3 MB"},
        {u"3 / 6 · "_s + text::count(1, u"{0} utwór", u"{0} utwory", u"{0} utworów"), "3 / 6 · 1 track"},
        {u"1 / 3 · 22 utwory · 2 CD"_s, "1 / 3 · 22 tracks · 2 CDs"},
        {u"1 utwór: ostatnie transfery i zaznaczone albumy z iPoda."_s,
         "1 track: recent transfers and albums marked on the iPod."},
        {u"12 utworów: ostatnie transfery i zaznaczone albumy z iPoda."_s,
         "12 tracks: recent transfers and albums marked on the iPod."},
        {text::byteCount(2) + u" · "_s + text::byteCount(1) + u" wolne"_s, "2 bytes · 1 byte free"},
        {text::byteCount(5) + u" łącznie"_s, "5 bytes in total"},
        {u"2 identyczne pliki · Intro"_s, "2 identical files · Intro"},
        {u"5 identycznych plików · Intro"_s, "5 identical files · Intro"},
        {u"Zgodne bajt w bajt (SHA-256). Zajętość dodatkowych kopii: "_s + text::byteCount(3) + u"."_s,
         "Identical byte for byte (SHA-256). Space used by the extra copies: 3 bytes."},
        {u"Dodano okładki: 0. Do wyboru ręcznie: 0. Niedostępne: 4. Brak połączenia z usługą okładek (MusicBrainz / "
         u"Cover Art Archive). Sprawdź połączenie z internetem."_s,
         "Covers added: 0. To choose by hand: 0. Unavailable: 4. No connection to the cover service (MusicBrainz / "
         "Cover Art Archive). Check the internet connection."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(en(c.polish), QString::fromUtf8(c.english)) << c.polish.toStdString();
    QLocale::setDefault(saved);
    // A title that merely ends like a count is a title: only byte counts are
    // rendered inside other texts.
    EXPECT_EQ(en(u"1 utwór · 5 utworów"_s), u"1 track · 5 utworów"_s);
}

} // namespace
