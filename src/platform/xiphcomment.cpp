#include "platform/xiphcomment.h"

#include <QStringDecoder>

namespace xiph {
namespace {

// A cursor over one body; reads give nothing (and stay put) when fewer than
// four bytes remain.
class Cursor
{
public:
    explicit Cursor(QByteArrayView body) : m_body(body) {}

    qsizetype position() const { return m_position; }
    qsizetype remaining() const { return m_body.size() - m_position; }
    void skip(qsizetype n) { m_position += n; }
    QByteArrayView take(qsizetype n)
    {
        const QByteArrayView part = m_body.sliced(m_position, n);
        m_position += n;
        return part;
    }

    std::optional<quint32> littleEndian() { return integer(false); }
    std::optional<quint32> bigEndian() { return integer(true); }

private:
    std::optional<quint32> integer(bool big)
    {
        if (remaining() < 4)
            return std::nullopt;
        const auto *p = reinterpret_cast<const uchar *>(m_body.data() + m_position);
        m_position += 4;
        if (big)
            return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
        return quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | quint32(p[0]);
    }

    QByteArrayView m_body;
    qsizetype m_position = 0;
};

// Strict UTF-8: a text with any invalid sequence counts as empty.
QString strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString result = decoder.decode(bytes);
    return decoder.hasError() ? QString() : result;
}

} // namespace

QList<Comment> comments(QByteArrayView body)
{
    QList<Comment> result;
    const qint64 length = body.size();
    if (length <= 3)
        return result;
    Cursor cursor(body);
    const qint64 vendor = *cursor.littleEndian();
    if (vendor > length - 4)
        return result;
    if (length < vendor + 8)
        return result;
    cursor.skip(vendor);
    const quint32 count = *cursor.littleEndian();
    if (count < 1 || count > maxComments)
        return result;
    for (quint32 i = 0; i < count; ++i) {
        const std::optional<quint32> size = cursor.littleEndian();
        if (!size || qint64(*size) > cursor.remaining())
            break;
        const QString text = strictUtf8(cursor.take(qsizetype(*size)));
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0)
            continue;
        result.append({text.left(equals).toUpper(), text.mid(equals + 1)});
    }
    return result;
}

std::optional<Picture> picture(QByteArrayView body)
{
    Cursor cursor(body);
    const std::optional<quint32> type = cursor.bigEndian();
    if (!type)
        return std::nullopt;
    for (int skipped = 0; skipped < 2; ++skipped) { // MIME type, description
        const std::optional<quint32> size = cursor.bigEndian();
        if (!size || qint64(*size) > cursor.remaining())
            return std::nullopt;
        cursor.skip(qsizetype(*size));
    }
    for (int field = 0; field < 4; ++field) // width, height, colour depth, colours
        (void)cursor.bigEndian();
    const std::optional<quint32> size = cursor.bigEndian();
    if (!size || *size > maxPictureBytes || qint64(*size) > cursor.remaining())
        return std::nullopt;
    return Picture{*type, cursor.take(qsizetype(*size)).toByteArray()};
}

} // namespace xiph
