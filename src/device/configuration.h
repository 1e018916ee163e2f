#pragma once

// Rockbox key-value files (rockbox-info.txt, config.cfg, theme .cfg files) and
// the pictures of installed themes found on the device. The operations are
// ThemePreview::configuration and ThemePreview::local (device/themetypes.h).

#include "device/themetypes.h"

#include <QString>

namespace ThemePreviewSources {
inline constexpr char16_t ownScreenshot[] = u"Twój zrzut";
inline constexpr char16_t packagePicture[] = u"Zrzut z paczki";
inline constexpr char16_t backdrop[] = u"Tło motywu — bez elementów interfejsu";
} // namespace ThemePreviewSources

// The settings key under which the user's own screenshot of a theme is kept:
// "theme-preview-" + lower-case hex SHA-256 of the UTF-8 bytes of the theme's path.
QString themePreviewKey(const QString &themePath);
