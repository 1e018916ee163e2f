#pragma once

// Previews of installed themes from the public Rockbox theme gallery: one page
// per firmware target, scraped for titles, screenshots and submitters. The
// operations are ThemePreview::catalog, parseCatalog, decoded and normalize
// (device/themetypes.h); the gallery's base address is ServiceBase::themeGallery().

#include "device/themetypes.h"

namespace ThemeGallery {
inline constexpr char16_t previewSource[] = u"Zrzuty z katalogu Rockbox (wersja katalogowa)";
inline constexpr int timeoutMs = 25000;
// Largest gallery page read; the real page is far smaller.
inline constexpr qint64 maxPageBytes = 16 * 1024 * 1024;
} // namespace ThemeGallery
