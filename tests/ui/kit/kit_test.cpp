// The kit's rule for an album's artist: our own name for an album of several
// artists follows the interface language, a real artist's name never does.

#include "ui/kit/kit.h"

#include "platform/defaults.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(KitTexts, OnlyTheGroupingsOwnArtistNameIsTranslated)
{
    struct Case {
        QString language;
        QString artist;
        QString shown;
    };
    const Case cases[] = {
        {u"en"_s, u"Różni wykonawcy"_s, u"Various Artists"_s},
        {u"pl"_s, u"Różni wykonawcy"_s, u"Różni wykonawcy"_s},
        {u"en"_s, u"Anaïs Mitchell"_s, u"Anaïs Mitchell"_s},
        // Artists whose names happen to be interface texts stay as they are named.
        {u"en"_s, u"Wykonawca"_s, u"Wykonawca"_s},
        {u"en"_s, u"Pozostałe"_s, u"Pozostałe"_s},
        {u"en"_s, u"różni wykonawcy"_s, u"różni wykonawcy"_s},
        {u"en"_s, QString(), QString()},
    };
    for (const Case &c : cases) {
        Defaults::setString(u"appLanguage"_s, c.language);
        EXPECT_EQ(kit::artistName(c.artist), c.shown) << c.language.toStdString() << " " << c.artist.toStdString();
    }
    Defaults::clear();
}

} // namespace
