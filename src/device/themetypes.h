#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <optional>

// One installed Rockbox theme, identified by the path of its .cfg file.
struct Theme {
    QString url; // absolute path of the .cfg file
    bool operator==(const Theme &other) const { return url == other.url; }
};

// Pictures of one theme: the while-playing and menu screens, where they came from,
// and the theme's gallery page and author when known.
struct ThemePreview {
    std::optional<QUrl> playing;
    std::optional<QUrl> menu;
    QString source;
    std::optional<QUrl> detail;
    std::optional<QString> author;
    bool operator==(const ThemePreview &) const = default;

    // Rockbox key-value files (configuration.cpp): key → value, later lines win;
    // empty when the file can't be read.
    static QMap<QString, QString> configuration(const QString &path);
    // A picture of an installed theme from the device or the user's own
    // screenshot (configuration.cpp); none when nothing is found.
    static std::optional<ThemePreview> local(const Theme &theme, const QString &root);

    // The online gallery (themegallery.cpp). Blocks on the network: call from a
    // worker thread. Keys are the themes' .cfg paths. Throws TavoError when the
    // answer is unusable, NetworkError when the request itself fails.
    static QMap<QString, ThemePreview> catalog(const QList<Theme> &themes, const QString &target);
    static QMap<QString, ThemePreview> parseCatalog(const QString &html, const QList<Theme> &themes);
    static QString decoded(const QString &text);
    static QString normalize(const QString &text);
};
