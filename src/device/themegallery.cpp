#include "device/themegallery.h"

#include "platform/errors.h"
#include "platform/http.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

// Every match of a pattern, each as its capture texts (index 0 the whole match,
// a capture that took no part the empty text).
QList<QStringList> matches(const QRegularExpression &pattern, const QString &text)
{
    QList<QStringList> found;
    if (!pattern.isValid())
        return found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QStringList captures;
        for (int i = 0; i <= pattern.captureCount(); ++i)
            captures.append(match.captured(i));
        found.append(captures);
    }
    return found;
}

std::optional<QString> firstCapture(const QRegularExpression &pattern, const QString &text)
{
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || match.capturedStart(1) < 0)
        return std::nullopt;
    return match.captured(1);
}

QUrl withBase(const QUrl &base, const QByteArray &relative)
{
    return QUrl::fromEncoded(base.toEncoded() + relative, QUrl::StrictMode);
}

// A gallery image path made into an address on the gallery: only paths inside
// its "themes/" folder with no way out of it.
std::optional<QUrl> remote(const QUrl &base, const std::optional<QString> &path)
{
    if (!path || path->isEmpty())
        return std::nullopt;
    if (!path->startsWith(u"themes/"_s) || path->contains(u".."_s))
        return std::nullopt;
    const QByteArray encoded = QUrl::toPercentEncoding(*path, "/!$&'()*+,;=:@");
    const QUrl url = withBase(base, encoded);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// The first `count` user-visible characters of `text` from `from` on, without
// running the boundary finder over the rest of a long page.
QString graphemeWindow(const QString &text, qsizetype from, qsizetype count)
{
    qsizetype length = count * 2;
    for (;;) {
        const QString chunk = text.mid(from, length);
        const QString window = text::firstGraphemes(chunk, count);
        if (window.size() < chunk.size() || from + chunk.size() >= text.size())
            return window;
        length *= 2;
    }
}

} // namespace

QString ThemePreview::decoded(const QString &input)
{
    QString text = input;
    text.replace(u"&amp;"_s, u"&"_s);
    text.replace(u"&quot;"_s, u"\""_s);
    text.replace(u"&#039;"_s, u"'"_s);
    text.replace(u"&lt;"_s, u"<"_s);
    text.replace(u"&gt;"_s, u">"_s);

    static const QRegularExpression numeric = text::regex(u"&#([0-9]+);"_s);
    QList<QRegularExpressionMatch> found;
    auto it = numeric.globalMatch(text);
    while (it.hasNext())
        found.append(it.next());
    for (auto match = found.crbegin(); match != found.crend(); ++match) {
        const QString digits = match->captured(1);
        bool ok = false;
        const qulonglong value = digits.toULongLong(&ok);
        if (!ok || value > 0xFFFFFFFFull)
            continue;
        const char32_t code = char32_t(value);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            continue;
        text.replace(match->capturedStart(0), match->capturedLength(0), QString::fromUcs4(&code, 1));
    }
    return text;
}

QString ThemePreview::normalize(const QString &input)
{
    QString key;
    const QStringList clusters = text::graphemes(input.toLower());
    for (const QString &cluster : clusters) {
        const char32_t first = cluster.toUcs4().value(0);
        if (QChar::isLetterOrNumber(first))
            key += cluster;
    }
    return text::nfc(key);
}

QMap<QString, ThemePreview> ThemePreview::parseCatalog(const QString &html, const QList<Theme> &themes)
{
    const QUrl base = ServiceBase::themeGallery();
    static const QRegularExpression titleRow = text::regex(
        uR"re(<th[^>]*>\s*<a href="index.php\?themeid=([0-9]+)[^"]*">([^<]+)</a>)re"_s,
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression imageRow = text::regex(
        uR"re(<a href="index.php\?themeid=([0-9]+)[^"]*"><img ([^>]+)>)re"_s,
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression pathAttribute = text::regex(uR"re((?:^|\s)path="([^"]*)")re"_s);
    static const QRegularExpression overAttribute = text::regex(uR"re((?:^|\s)oversrc="([^"]*)")re"_s);
    static const QRegularExpression srcAttribute = text::regex(uR"re((?:^|\s)src="([^"]*)")re"_s);
    static const QRegularExpression submitter = text::regex(uR"re(<strong>Submitter:</strong>\s*&nbsp;([^<]+))re"_s);

    QMap<QString, QString> titles;
    for (const QStringList &row : matches(titleRow, html))
        titles.insert(row[1], decoded(row[2]));

    QList<QString> stems;
    for (const Theme &theme : themes)
        stems.append(normalize(paths::deletingExtension(paths::lastComponent(theme.url))));

    QMap<QString, ThemePreview> previews;
    for (const QStringList &row : matches(imageRow, html)) {
        const auto title = titles.constFind(row[1]);
        if (title == titles.constEnd())
            continue;
        const QString key = normalize(*title);
        QList<qsizetype> matching;
        for (qsizetype i = 0; i < themes.size(); ++i) {
            if (stems[i] == key)
                matching.append(i);
        }
        if (matching.isEmpty())
            continue;

        const QString attributes = row[2];
        const QString path = decoded(firstCapture(pathAttribute, attributes).value_or(QString()));
        const QString over = decoded(firstCapture(overAttribute, attributes).value_or(QString()));
        std::optional<QString> src = firstCapture(srcAttribute, attributes);
        if (src)
            src = decoded(*src);

        ThemePreview preview;
        const qsizetype at = html.indexOf(row[0]);
        if (at >= 0) {
            QString window = graphemeWindow(html, at, 10000);
            const qsizetype cell = window.indexOf(u"</td>"_s);
            if (cell >= 0)
                window.truncate(cell);
            if (const std::optional<QString> author = firstCapture(submitter, window))
                preview.author = text::trimmedBlanksAndNewlines(decoded(*author));
        }
        preview.playing = remote(base, src);
        if (!over.isEmpty())
            preview.menu = remote(base, path + over);
        preview.detail = withBase(base, "index.php?themeid=" + row[1].toLatin1() + "&target=ipodvideo");
        preview.source = QString::fromUtf16(ThemeGallery::previewSource);
        for (const qsizetype i : std::as_const(matching))
            previews.insert(themes[i].url, preview);
    }
    return previews;
}

QMap<QString, ThemePreview> ThemePreview::catalog(const QList<Theme> &themes, const QString &target)
{
    HttpRequest request;
    request.url = withBase(ServiceBase::themeGallery(),
                           "index.php?target=" + HttpClient::queryValue(target).toLatin1());
    request.timeoutMs = ThemeGallery::timeoutMs;
    // The page is a few hundred kilobytes; anything far larger is not the gallery.
    request.maxBodyBytes = ThemeGallery::maxPageBytes;
    const HttpResponse response = HttpClient::get(request);
    if (response.body.size() > ThemeGallery::maxPageBytes)
        throw TavoError(u"Nie można odczytać katalogu motywów."_s);

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString body = utf8.decode(response.body);
    if (response.status != 200 || utf8.hasError())
        throw TavoError(u"Nie można odczytać katalogu motywów."_s);
    return parseCatalog(body, themes);
}
