// One look for the prominent button: the main action of every page, bar and
// sheet is filled with the accent colour from the kit, and stays readable when
// disabled.

#include "support/pagetesting.h"

#include "ui/kit/kit.h"
#include "ui/shell/pages.h"
#include "ui/shell/transferbar.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QPushButton *buttonNamed(QWidget *root, const QString &polish)
{
    for (QPushButton *b : root->findChildren<QPushButton *>())
        if (b->text() == polish)
            return b;
    return nullptr;
}

// The button as drawn over the window's colour.
QImage drawn(QPushButton *button, const QColor &window)
{
    QImage image(button->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(window);
    button->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QString withoutColours(QString sheet)
{
    return sheet.replace(QRegularExpression(u"#[0-9a-fA-F]{6,8}"_s), u"#"_s);
}

double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class ProminentButtons : public PageTest
{
};

TEST_F(ProminentButtons, everyMainActionHasTheKitsOneLook)
{
    device.writeFile(u".rockbox/themes/Cabbie.cfg"_s, "wps: /.rockbox/wps/cabbie.wps\n");
    connectDevice();
    settle();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? kit::darkPalette() : kit::lightPalette());
        QWidget host;
        host.resize(1000, 800);
        QPushButton reference, large;
        kit::makeProminent(&reference);
        kit::makeProminent(&large, true);

        struct Place {
            Section section;
            QString button;
        };
        const Place places[] = {
            {Section::music, u"Dodaj muzykę…"_s},
            {Section::backups, u"Utwórz kopię"_s},
            {Section::quality, u"Napraw dostępne okładki"_s},
            {Section::themes, u"Importuj ZIP…"_s},
            {Section::device, u"Otwórz muzykę"_s},
        };
        for (const Place &place : places) {
            std::unique_ptr<QWidget> page(pages::make(place.section, model.get(), &host));
            QPushButton *button = buttonNamed(page.get(), place.button);
            ASSERT_TRUE(button) << place.button.toStdString();
            // The same look; its colours are those of the panel it stands on (the device page's is dark).
            EXPECT_EQ(withoutColours(button->styleSheet()).toStdString(), withoutColours(reference.styleSheet()).toStdString())
                << place.button.toStdString();
        }
        TransferBar bar(model.get(), &host);
        QPushButton *send = buttonNamed(&bar, u"Wgraj na iPoda"_s);
        ASSERT_TRUE(send);
        EXPECT_EQ(send->styleSheet(), large.styleSheet());

        // Filled with the accent; when disabled, its text still reads against its fill.
        const QColor window = QApplication::palette().color(QPalette::Window);
        const QColor accent = kit::blue(QApplication::palette());
        QPushButton sample(u"Wgraj album"_s, &host);
        kit::makeProminent(&sample);
        sample.resize(sample.sizeHint());
        QImage image = drawn(&sample, window);
        EXPECT_EQ(image.pixelColor(image.width() / 2, 6).rgb(), accent.rgb()) << dark;
        sample.setEnabled(false);
        image = drawn(&sample, window);
        const QColor fill = image.pixelColor(image.width() / 2, 6);
        double best = 1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                best = std::max(best, contrast(image.pixelColor(x, y), fill));
        EXPECT_GE(best, 3.0) << dark;
    }
    QApplication::setPalette(kit::lightPalette());
}

} // namespace
