#include "media/artwork.h"

#include "media/artworkfiles.h"
#include "media/jpegmarkers.h"
#include "media/records.h"
#include "platform/appfolders.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/scaledimage.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Artwork {
namespace {

constexpr int coverSide = 500;
constexpr int jpegQuality = 90;

// Reads from a private copy of the bytes; the reader decides the format from the
// content alone, as there is no file name to go by.
struct Source {
    explicit Source(const QByteArray &bytes)
        : buffer()
    {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
    }
    QBuffer buffer;
    QImageReader reader;
};

int saveError(int fallback)
{
    return errno != 0 ? errno : fallback;
}

} // namespace

namespace files {

void makeFolders(const QString &path)
{
    const QString clean = paths::standardized(path);
    const QStringList parts = clean.split(u'/', Qt::SkipEmptyParts);
    QString current = clean.startsWith(u'/') ? u"/"_s : QString();
    for (const QString &part : parts) {
        current = paths::appending(current, part);
        struct stat st;
        if (::stat(paths::encode(current).constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            throw PosixError(ENOTDIR);
        }
        if (::mkdir(paths::encode(current).constData(), 0777) != 0) {
            const int code = errno;
            if (code == EEXIST && paths::isDirectory(paths::resolvingLinks(current)))
                continue; // made by someone else meanwhile
            throw PosixError(code);
        }
    }
}

void writePlain(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(paths::encode(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        PosixError::throwErrno();
    posixfile::File file(fd);
    file.writeAll(bytes.constData(), bytes.size());
    file.close();
}

std::optional<QByteArray> readAll(const QString &path)
{
    const int fd = ::open(paths::encode(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(chunk, n);
    }
    ::close(fd);
    return bytes;
}

} // namespace files

QString cacheRoot()
{
    return AppFolders::artwork();
}

QString cache(const QByteArray &image, const QString &key)
{
    // Keys are hexadecimal digests, perhaps with a plain prefix; one that could
    // name a file outside the cache folder is refused rather than followed.
    if (key.isEmpty() || key.contains(u'/') || key.contains(QChar(u'\0')))
        throw TavoError(u"Nieprawidłowa ścieżka."_s);
    const QString root = cacheRoot();
    files::makeFolders(root);
    const QString target = paths::appending(root, key + u".jpg"_s);
    // Written to a temporary file and renamed over the target, so a reader never
    // sees half a cover and a failed write leaves the earlier file as it was.
    QSaveFile file(target);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw PosixError(saveError(EIO));
    if (file.write(image) != image.size()) {
        const int code = saveError(EIO);
        file.cancelWriting();
        throw PosixError(code);
    }
    errno = 0;
    if (!file.commit())
        throw PosixError(saveError(EIO));
    return target;
}

std::optional<QString> compatibilityIssue(const QByteArray &image)
{
    return compatibilityIssue(CoverFacts::of(image));
}

std::optional<QString> compatibilityIssue(const CoverFacts &facts)
{
    if (facts.bytes == 0 || !facts.readable)
        return u"Obraz jest nieczytelny — wybierz nową okładkę."_s;
    const bool jpeg = facts.format == "jpeg" || facts.format == "jpg";
    if (!jpeg && facts.format != "bmp")
        return u"Obraz wymaga konwersji do JPEG obsługiwanego przez Rockbox."_s;
    if (jpeg && facts.progressive)
        return u"JPEG progresywny — przygotuj zwykły JPEG dla Rockbox."_s;
    // The stored pixel size, before any orientation tag is applied.
    if (facts.size.width() > coverSide || facts.size.height() > coverSide)
        return u"Duża okładka — przygotuj wersję 500 × 500 dla iPoda."_s;
    return std::nullopt;
}

QByteArray baselineJPEG(const QByteArray &image)
{
    if (image.isEmpty())
        throw TavoError(u"Nie można odczytać obrazu."_s);
    Source source(image);
    if (!source.reader.canRead())
        throw TavoError(u"Nie można odczytać obrazu."_s);

    // Decoded at no more than 500 pixels a side: a very large picture is never
    // held whole (Qt's readers refuse the allocation, and the memory would be
    // wasted). The bound is a square, so it holds whichever way the
    // orientation tag turns the picture.
    QImage thumbnail = ScaledImage::decode(image, QSize(coverSide, coverSide));
    if (thumbnail.isNull())
        throw TavoError(u"Obraz jest nieobsługiwany."_s);
    if (thumbnail.colorSpace().isValid() && thumbnail.colorSpace() != QColorSpace(QColorSpace::SRgb))
        thumbnail.convertToColorSpace(QColorSpace(QColorSpace::SRgb));

    QImage canvas(coverSide, coverSide, QImage::Format_RGB32);
    if (canvas.isNull())
        throw TavoError(u"Obraz jest nieobsługiwany."_s);
    canvas.fill(Qt::white);
    {
        const double scale = std::min(double(coverSide) / thumbnail.width(), double(coverSide) / thumbnail.height());
        const double w = scale * thumbnail.width();
        const double h = scale * thumbnail.height();
        QPainter painter(&canvas);
        if (!painter.isActive())
            throw TavoError(u"Nie udało się przygotować okładki."_s);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF((coverSide - w) * 0.5, (coverSide - h) * 0.5, w, h), thumbnail);
    }

    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    if (!writer.canWrite())
        throw TavoError(u"Nie można zapisać JPEG."_s);
    writer.setQuality(jpegQuality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (!writer.write(canvas) || out.isEmpty())
        throw TavoError(u"Nie udało się zapisać JPEG."_s);
    return out;
}

bool externalCoverExists(const Track &track)
{
    const QString stem = paths::deletingExtension(track.url);
    const QString folder = paths::parent(track.url);
    const QString candidates[] = {
        stem + u".jpeg"_s,
        stem + u".jpg"_s,
        stem + u".bmp"_s,
        paths::appending(folder, u"cover.jpeg"_s),
        paths::appending(folder, u"cover.jpg"_s),
        paths::appending(folder, u"cover.bmp"_s),
        paths::appending(folder, u"folder.jpg"_s),
    };
    for (const QString &candidate : candidates) {
        if (paths::exists(candidate))
            return true;
    }
    return false;
}

} // namespace Artwork
