#include "media/audioinfo.h"

#include "platform/errors.h"
#include "platform/mediaasset.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

// 2^63: the first double that no longer fits a signed 64-bit integer.
constexpr double int64Limit = 9223372036854775808.0;

// Truncation toward zero for values that fit; 0 for the rest (NaN, infinities,
// values at or beyond ±2^63), so no out-of-range conversion ever happens.
qint64 truncatedOrZero(double value)
{
    if (!std::isfinite(value) || value >= int64Limit || value < -int64Limit)
        return 0;
    return qint64(value);
}

qint64 alacSourceDepth(quint32 flags, qint64 bitsPerChannel)
{
    switch (flags) {
    case 1: return 16;
    case 2: return 20;
    case 3: return 24;
    case 4: return 32;
    default: return bitsPerChannel;
    }
}

QString rateText(qint64 sampleRate)
{
    if (sampleRate < 1)
        return u"Parametry nieznane"_s;
    return text::formatG(double(sampleRate) / 1000.0) + u" kHz"_s;
}

[[noreturn]] void decodingFailed(const QString &key)
{
    throw TavoError(u"Nieprawidłowe dane techniczne utworu: "_s + key);
}

QJsonValue required(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        decodingFailed(key);
    return value;
}

QString requiredString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = required(object, key);
    if (!value.isString())
        decodingFailed(key);
    return value.toString();
}

qint64 requiredInteger(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = required(object, key);
    // An integral number in range: the two defaults differ only when it is not one.
    if (!value.isDouble() || value.toInteger(0) != value.toInteger(1))
        decodingFailed(key);
    return value.toInteger();
}

double requiredDouble(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = required(object, key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        decodingFailed(key);
    return value.toDouble();
}

// One JSON value as compact text (Qt writes doubles in their shortest exact form).
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

AudioInfo AudioInfo::read(const QString &path, MediaAsset &asset)
{
    const QString extension = paths::extension(path);
    if (extension.toLower() == u"flac") {
        try {
            return readFLAC(path);
        } catch (const std::exception &) {
            // Not a FLAC stream after all: read it like any other file.
        }
    }

    AudioInfo info;
    info.codec = extension.toUpper();

    const std::optional<double> duration = asset.duration();
    info.duration = duration && std::isfinite(*duration) ? *duration : 0;

    if (const std::optional<AudioStreamDescription> stream = asset.firstAudioStream()) {
        info.sampleRate = truncatedOrZero(stream->sampleRate);
        info.bitDepth = stream->bitsPerChannel;
        if (stream->formatID == audioformat::alac) {
            info.codec = u"ALAC"_s;
            info.bitDepth = alacSourceDepth(stream->formatFlags, info.bitDepth);
        } else if (stream->formatID == audioformat::aac) {
            info.codec = u"AAC"_s;
        }
    }

    if (info.duration > 0)
        if (const std::optional<qint64> size = asset.openedSize() ? asset.openedSize() : paths::fileSize(path))
            info.bitrate = truncatedOrZero(double(*size) * 8.0 / info.duration / 1000.0);
    return info;
}

QString AudioInfo::parameters() const
{
    const QString rate = rateText(sampleRate);
    if (bitDepth >= 1)
        return QString::number(bitDepth) + u"-bit / "_s + rate;
    if (bitrate >= 1)
        return u"≈ "_s + QString::number(bitrate) + u" kb/s · "_s + rate;
    return rate;
}

QString durationLabel(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds >= int64Limit)
        return u"—"_s;
    const qint64 s = qint64(seconds);
    const auto two = [](qint64 n) { return QString::number(n).rightJustified(2, u'0'); };
    if (s < 3600)
        return QString::number(s / 60) + u':' + two(s % 60);
    return QString::number(s / 3600) + u':' + two((s / 60) % 60) + u':' + two(s % 60);
}

QJsonObject AudioInfo::toJson() const
{
    QJsonObject object;
    object.insert(u"codec"_s, codec);
    object.insert(u"sampleRate"_s, sampleRate);
    object.insert(u"bitDepth"_s, bitDepth);
    // JSON has no NaN or infinity; such a duration is written as 0.
    object.insert(u"duration"_s, std::isfinite(duration) ? duration : 0.0);
    object.insert(u"bitrate"_s, bitrate);
    object.insert(u"trackNumber"_s, trackNumber);
    object.insert(u"discNumber"_s, discNumber);
    object.insert(u"year"_s, year);
    QJsonObject tagObject;
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        tagObject.insert(it.key(), it.value());
    object.insert(u"tags"_s, tagObject);
    if (picture)
        object.insert(u"picture"_s, QString::fromLatin1(picture->toBase64()));
    return object;
}

AudioInfo AudioInfo::fromJson(const QJsonObject &object)
{
    AudioInfo info;
    info.codec = requiredString(object, u"codec"_s);
    info.sampleRate = requiredInteger(object, u"sampleRate"_s);
    info.bitDepth = requiredInteger(object, u"bitDepth"_s);
    info.duration = requiredDouble(object, u"duration"_s);
    info.bitrate = requiredInteger(object, u"bitrate"_s);
    info.trackNumber = requiredInteger(object, u"trackNumber"_s);
    info.discNumber = requiredInteger(object, u"discNumber"_s);
    info.year = requiredString(object, u"year"_s);
    const QJsonValue tagValue = required(object, u"tags"_s);
    if (!tagValue.isObject())
        decodingFailed(u"tags"_s);
    const QJsonObject tagObject = tagValue.toObject();
    for (auto it = tagObject.begin(); it != tagObject.end(); ++it) {
        if (!it.value().isString())
            decodingFailed(u"tags"_s);
        info.tags.insert(it.key(), it.value().toString());
    }
    const QJsonValue pictureValue = object.value(u"picture"_s);
    if (!pictureValue.isUndefined() && !pictureValue.isNull()) {
        if (!pictureValue.isString())
            decodingFailed(u"picture"_s);
        const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
            pictureValue.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            decodingFailed(u"picture"_s);
        info.picture = *decoded;
    }
    return info;
}

QByteArray AudioInfo::encode() const
{
    // QJsonObject sorts its keys; the record's form lists them in field order.
    const QJsonObject object = toJson();
    static const char16_t *const order[] = {u"codec",       u"sampleRate", u"bitDepth", u"duration", u"bitrate",
                                            u"trackNumber", u"discNumber", u"year",     u"tags",     u"picture"};
    QByteArray out = "{";
    for (const char16_t *key : order) {
        const QString name = QString::fromUtf16(key);
        if (!object.contains(name))
            continue;
        if (out.size() > 1)
            out += ',';
        out += jsonText(name) + ':' + jsonText(object.value(name));
    }
    return out + '}';
}

AudioInfo AudioInfo::decode(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        decodingFailed(u"JSON"_s);
    return fromJson(document.object());
}
