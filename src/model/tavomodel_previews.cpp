// Theme previews: pictures of the installed themes from the online Rockbox
// gallery, and the user's own screenshot of a theme. A screenshot of the
// user's own always wins: the gallery never replaces it.

#include "model/tavomodel.h"

#include "device/configuration.h"
#include "localization/applocalizer.h"
#include "media/artwork.h"
#include "model/modeltasks.h"
#include "platform/defaults.h"
#include "platform/sha256.h"

#include <QPointer>
#include <QFile>
#include <QImage>
#include <QUrl>

using namespace Qt::StringLiterals;

void TavoModel::fetchThemePreviews()
{
    if (m_themes.isEmpty())
        return;
    setThemePreviewStatus(u"Pobieram podglądy z Rockbox…"_s);
    const QString target = m_deviceInfo.value(u"Target"_s, u"ipodvideo"_s);
    const QList<Theme> themes = m_themes;

    // The answer belongs to the device that asked: once another device is
    // current it is dropped whole, so it can neither show the old device's
    // count nor stop the new device's own automatic fetch (which starts only
    // while the status is empty).
    const QString root = m_device ? m_device->root : QString();
    ModelTasks::run(
        this, ModelTasks::networkPool(), [themes, target] { return ThemePreview::catalog(themes, target); },
        [this, root](const ModelTasks::Outcome<ThemePreviewMap> &outcome) {
            if ((m_device ? m_device->root : QString()) != root)
                return;
            if (!outcome.ok()) {
                setThemePreviewStatus(isConnectionFailure(outcome.error)
                                          ? u"Brak połączenia z katalogiem motywów Rockbox. Możesz dodać własne zrzuty."_s
                                          : u"Katalog jest niedostępny. Możesz dodać własne zrzuty."_s);
                return;
            }
            const ThemePreviewMap &catalog = *outcome.value;
            ThemePreviewMap merged = m_themePreviews;
            for (auto it = catalog.constBegin(); it != catalog.constEnd(); ++it) {
                const auto stored = merged.constFind(it.key());
                if (stored != merged.constEnd() && stored->source == QStringView(ThemePreviewSources::ownScreenshot))
                    continue;
                merged.insert(it.key(), it.value());
            }
            setThemePreviews(merged);
            setThemePreviewStatus(u"Podglądy katalogowe: "_s + QString::number(catalog.size())
                                  + u". Wersja motywu może różnić się od zainstalowanej."_s);
        });
}

void TavoModel::chooseThemePreview(const Theme &theme)
{
    if (!m_imageChooser)
        return;
    m_imageChooser(AppLocalizer::display(u"Dodaj zrzut motywu"_s),
                   [self = QPointer<TavoModel>(this), theme](const std::optional<QString> &chosen) {
                       if (self && chosen && !chosen->isEmpty())
                           self->keepThemeScreenshot(theme, *chosen);
                   });
}

void TavoModel::keepThemeScreenshot(const Theme &theme, const QString &chosen)
{
    QFile file(chosen);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    // Only a picture that decodes with some width is taken; anything else is dropped silently.
    if (QImage::fromData(bytes).width() <= 0)
        return;

    // Kept byte for byte: a PNG screenshot stays a PNG under the cache's ".jpg" name.
    QString cached;
    try {
        cached = Artwork::cache(bytes, u"theme-"_s + sha256::hex(theme.url.toUtf8()));
    } catch (const std::exception &error) {
        setAlert(describe(error));
        return;
    }
    Defaults::setString(themePreviewKey(theme.url), cached);

    ThemePreviewMap previews = m_themePreviews;
    previews.insert(theme.url, ThemePreview{QUrl::fromLocalFile(cached), std::nullopt,
                                            QStringView(ThemePreviewSources::ownScreenshot).toString(), std::nullopt, std::nullopt});
    // Same cache name as a screenshot chosen before: caches keyed by path must drop it.
    emit themeScreenshotChanged(theme.url, cached);
    setThemePreviews(previews);
}
