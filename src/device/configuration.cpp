#include "device/configuration.h"

#include "platform/defaults.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/sha256.h"
#include "platform/text.h"

#include <QFile>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

// Theme files are UTF-8 as a rule; UTF-16 with a byte-order mark is taken too,
// and anything else is read as Latin-1, so an old file with one accented
// author name still yields its settings.
QString readText(const QString &path)
{
    // Only a regular file: a FIFO named like a theme file would block forever.
    const std::optional<QByteArray> read = posixfile::readRegular(path);
    if (!read)
        return QString();
    const QByteArray &bytes = *read;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringDecoder::Utf16);
        return utf16.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(bytes);
}

QStringList splitAtNewlines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text::isNewline(text.at(i).unicode())) {
            lines.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.mid(start));
    return lines;
}

// Values of a theme file name device paths; only those inside .rockbox, with
// no way out of it, are looked at, and always below the device root.
bool isDevicePath(const QString &value)
{
    return value.startsWith(u"/.rockbox/"_s) && !value.contains(u".."_s);
}

ThemePreview picture(const QString &playing, const std::optional<QString> &menu, const QString &source)
{
    ThemePreview preview;
    preview.playing = QUrl::fromLocalFile(playing);
    if (menu)
        preview.menu = QUrl::fromLocalFile(*menu);
    preview.source = source;
    return preview;
}

} // namespace

QString themePreviewKey(const QString &themePath)
{
    return u"theme-preview-"_s + sha256::hex(themePath.toUtf8());
}

QMap<QString, QString> ThemePreview::configuration(const QString &path)
{
    QMap<QString, QString> table;
    const QStringList lines = splitAtNewlines(readText(path));
    for (const QString &line : lines) {
        if (text::trimmedBlanks(line).startsWith(u'#'))
            continue;
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QString key = text::nfc(text::trimmedBlanks(line.left(colon)));
        table.insert(key, text::trimmedBlanksAndNewlines(line.mid(colon + 1)));
    }
    return table;
}

std::optional<ThemePreview> ThemePreview::local(const Theme &theme, const QString &root)
{
    const QString path = theme.url;
    if (const std::optional<QString> shot = Defaults::string(themePreviewKey(path))) {
        if (paths::exists(*shot))
            return picture(*shot, std::nullopt, QString::fromUtf16(ThemePreviewSources::ownScreenshot));
    }

    const QMap<QString, QString> table = configuration(path);
    const QString folder = paths::parent(path);
    const QString stem = paths::deletingExtension(paths::lastComponent(path));
    for (const QString &name : QStringList{stem + u".png"_s, stem + u".jpg"_s, stem + u"-preview.png"_s}) {
        const QString candidate = paths::appending(folder, name);
        if (paths::isSymbolicLink(candidate))
            continue;
        if (paths::exists(candidate))
            return picture(candidate, std::nullopt, QString::fromUtf16(ThemePreviewSources::packagePicture));
    }
    if (table.isEmpty())
        return std::nullopt;

    const QString backdropSource = QString::fromUtf16(ThemePreviewSources::backdrop);
    const QString wps = table.value(u"wps"_s);
    if (table.contains(u"wps"_s) && isDevicePath(wps)) {
        const QString wpsFolder = paths::deletingExtension(paths::appending(root, wps.mid(1)));
        const QString playing = paths::appending(wpsFolder, u"backdrop_wps.bmp"_s);
        if (paths::exists(playing)) {
            const QString menu = paths::appending(wpsFolder, u"backdrop_sbs.bmp"_s);
            return picture(playing, paths::exists(menu) ? std::optional<QString>(menu) : std::nullopt,
                           backdropSource);
        }
    }
    const QString backdrop = table.value(u"backdrop"_s);
    if (table.contains(u"backdrop"_s) && isDevicePath(backdrop)) {
        const QString file = paths::appending(root, backdrop.mid(1));
        if (paths::exists(file))
            return picture(file, std::nullopt, backdropSource);
    }
    return std::nullopt;
}
