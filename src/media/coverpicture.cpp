#include "media/coverpicture.h"

#include "media/audioinfo.h"
#include "media/jpegmarkers.h"
#include "platform/mediaasset.h"
#include "platform/paths.h"
#include "platform/scaledimage.h"

#include <QBuffer>
#include <QColorSpace>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int previewQuality = 85;
constexpr qint64 wholeLimit = 10'000'000; // as an import takes image files

// A JPEG of the picture fitting previewSide; empty when it does not decode.
QByteArray makePreview(const QByteArray &bytes)
{
    const QImage image = ScaledImage::decode(bytes, QSize(Cover::previewSide, Cover::previewSide));
    if (image.isNull())
        return QByteArray();
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(previewQuality);
    // Pictures with transparency are laid on white, as the player shows them.
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        opaque.setColorSpace(image.colorSpace());
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    if (!writer.write(opaque))
        return QByteArray();
    return out;
}

std::optional<QByteArray> readWhole(const QString &path)
{
    const int fd = ::open(paths::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < wholeLimit) {
        QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        bool failed = false;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failed = n < 0;
                break;
            }
            done += n;
        }
        if (!failed) {
            bytes.truncate(done);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

} // namespace

CoverFacts CoverFacts::of(const QByteArray &picture)
{
    CoverFacts facts;
    facts.bytes = picture.size();
    if (picture.isEmpty())
        return facts;
    QBuffer buffer;
    buffer.setData(picture);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    facts.readable = reader.canRead();
    if (!facts.readable)
        return facts;
    facts.format = reader.format();
    facts.size = reader.size();
    if (facts.format == "jpeg" || facts.format == "jpg")
        facts.progressive = JpegMarkers::isProgressive(picture);
    return facts;
}

struct Cover::Data {
    QByteArray identity;
    CoverFacts facts;
    QByteArray preview;
    bool previewIsWhole = false;
    QString file;
    std::optional<QByteArray> held;
};

Cover::Cover(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}

Cover::Cover(const QByteArray &bytes)
{
    auto data = std::make_shared<Data>();
    data->identity = identityOf(bytes);
    data->facts = CoverFacts::of(bytes);
    data->preview = bytes; // the same buffer: held bytes cost nothing twice
    data->previewIsWhole = true;
    data->held = bytes;
    m_data = std::move(data);
}

Cover Cover::read(const QByteArray &bytes, const QString &file, const QByteArray &identity)
{
    auto data = std::make_shared<Data>();
    data->identity = identity;
    data->facts = CoverFacts::of(bytes);
    data->file = file;
    const QSize size = data->facts.size;
    const bool small = bytes.size() <= wholePreviewBytes
                       || (size.isValid() && std::max(size.width(), size.height()) <= previewSide
                           && bytes.size() <= 4 * wholePreviewBytes);
    if (small || !data->facts.readable) {
        // A small picture is its own preview; one that does not decode keeps
        // what it has when that is small, so that the views fail on it as on
        // the picture itself.
        if (small)
            data->preview = bytes;
        data->previewIsWhole = small;
    } else {
        data->preview = makePreview(bytes);
        // A detached copy: the preview must not keep a larger buffer alive.
        data->preview.squeeze();
    }
    return Cover(std::move(data));
}

Cover Cover::inFile(const QString &path)
{
    auto data = std::make_shared<Data>();
    data->file = path;
    return Cover(std::move(data));
}

Cover Cover::stored(const QByteArray &identity, const CoverFacts &facts, const QByteArray &preview,
                    bool previewIsWhole, const QString &file)
{
    auto data = std::make_shared<Data>();
    data->identity = identity;
    data->facts = facts;
    data->preview = preview;
    data->previewIsWhole = previewIsWhole;
    data->file = file;
    return Cover(std::move(data));
}

QByteArray Cover::identityOf(const QByteArray &bytes)
{
    // Two seeded 64-bit hashes and the size: fast enough to run over every
    // embedded picture of an import (a cryptographic digest costs ten times as
    // much), and wide enough that two different covers never meet by chance.
    QByteArray identity(24, Qt::Uninitialized);
    qToLittleEndian<quint64>(quint64(bytes.size()), identity.data());
    qToLittleEndian<quint64>(quint64(qHash(QByteArrayView(bytes), size_t(0x9E3779B97F4A7C15ULL))), identity.data() + 8);
    qToLittleEndian<quint64>(quint64(qHash(QByteArrayView(bytes), size_t(0xC2B2AE3D27D4EB4FULL))), identity.data() + 16);
    return identity;
}

const QByteArray &Cover::identity() const { return m_data->identity; }
const CoverFacts &Cover::facts() const { return m_data->facts; }
const QByteArray &Cover::preview() const { return m_data->preview; }
bool Cover::previewIsWhole() const { return m_data->previewIsWhole; }
const QString &Cover::file() const { return m_data->file; }
bool Cover::isHeld() const { return m_data->held.has_value(); }
bool Cover::isEmbedded() const { return !isHeld() && m_data->file.isEmpty(); }

bool Cover::operator==(const Cover &other) const
{
    if (m_data == other.m_data)
        return true;
    // A file known only by its path is the same picture only as the same file.
    if (m_data->identity.isEmpty() || other.m_data->identity.isEmpty())
        return m_data->identity.isEmpty() && other.m_data->identity.isEmpty() && m_data->file == other.m_data->file;
    return m_data->identity == other.m_data->identity;
}

std::optional<QByteArray> Cover::bytes(const QString &trackPath) const
{
    if (m_data->held)
        return m_data->held;
    if (m_data->previewIsWhole)
        return m_data->preview;
    if (!m_data->file.isEmpty())
        return readWhole(m_data->file);
    return CoverPictures::embedded(trackPath);
}

QByteArray Cover::bytesFor(int pixels, const QString &trackPath) const
{
    if (m_data->previewIsWhole || m_data->held)
        return m_data->preview;
    const QSize size = m_data->facts.size;
    if (size.isValid() && !size.isEmpty()) {
        const int longer = std::max(size.width(), size.height());
        const int shorter = std::min(size.width(), size.height());
        // The preview's shorter side, as fitting previewSide made it.
        const double scale = std::min(1.0, double(previewSide) / double(longer));
        if (longer <= previewSide || pixels <= int(shorter * scale))
            return m_data->preview;
    }
    if (std::optional<QByteArray> whole = bytes(trackPath))
        return *whole;
    return m_data->preview;
}

namespace CoverPictures {

std::optional<QByteArray> embedded(const QString &audioPath)
{
    try {
        MediaAsset asset(audioPath);
        const AudioInfo info = AudioInfo::read(audioPath, asset);
        if (info.picture)
            return info.picture;
        // FLAC pictures come from our own reader only.
        if (paths::extension(audioPath).toLower() == u"flac"_s)
            return std::nullopt;
        std::optional<QByteArray> artwork;
        for (const MetadataItem &item : asset.metadata().value_or(QList<MetadataItem>())) {
            if (item.commonKey == MetadataCommonKey::artwork)
                artwork = item.dataValue;
        }
        return artwork;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace CoverPictures
