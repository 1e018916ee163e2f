#pragma once

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
};
