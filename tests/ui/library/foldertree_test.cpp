#include "ui/library/foldertree.h"

#include "librarytesting.h"
#include "ui/kit/kit.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTreeView>

using namespace librarytesting;

namespace {

Track at(const QString &path, const QString &codec = u"MP3"_s)
{
    Spec s;
    s.codec = codec;
    Track t = track(s);
    t.url = path;
    return t;
}

// The tree as lines: "  name [codec]" with two spaces per level; files marked
// with their track's path.
void describe(const FolderNode &node, int depth, QStringList &out)
{
    if (!node.children)
        return;
    for (const auto &child : *node.children) {
        out.append(QString(depth * 2, u' ') + child->name + (child->track ? u" *"_s : QString()));
        describe(*child, depth + 1, out);
    }
}

QStringList lines(const QList<Track> &tracks, const std::optional<QString> &root)
{
    QStringList out;
    describe(*folders::build(tracks, root), 0, out);
    return out;
}

TEST(FolderTreeBuild, PathsRelativeToTheDeviceRoot)
{
    const QList<Track> tracks = {at(u"/media/IPOD/Music/A/1.mp3"_s), at(u"/media/IPOD/Music/B/2.mp3"_s)};
    const auto root = folders::build(tracks, u"/media/IPOD"_s);
    ASSERT_TRUE(root->children.has_value());
    ASSERT_EQ(root->children->size(), 1u);
    const FolderNode &music = *root->children->front();
    EXPECT_EQ(music.name, u"Music"_s);
    EXPECT_EQ(music.id, u"/media/IPOD/Music"_s);
    EXPECT_FALSE(music.track.has_value());
    ASSERT_EQ(music.children->size(), 2u);
    const FolderNode &a = *music.children->at(0);
    EXPECT_EQ(a.id, u"/media/IPOD/Music/A"_s);
    ASSERT_EQ(a.children->size(), 1u);
    const FolderNode &file = *a.children->front();
    EXPECT_EQ(file.id, u"/media/IPOD/Music/A/1.mp3"_s);
    ASSERT_TRUE(file.track.has_value());
    EXPECT_EQ(file.track->id, tracks[0].id);
    EXPECT_FALSE(file.children.has_value()) << "a file has no disclosure";
}

TEST(FolderTreeBuild, Shapes)
{
    struct Case {
        const char *name;
        QStringList paths;
        std::optional<QString> root;
        QStringList expected;
    } cases[] = {
        {"the computer side starts at the first folder, ids with two slashes",
         {u"/home/ola/m/a.mp3"_s},
         std::nullopt,
         {u"home"_s, u"  ola"_s, u"    m"_s, u"      a.mp3 *"_s}},
        {"Finder order: 2 before 10, case-insensitive",
         {u"/r/10.mp3"_s, u"/r/b.mp3"_s, u"/r/2.mp3"_s, u"/r/A.mp3"_s},
         u"/r"_s,
         {u"2.mp3 *"_s, u"10.mp3 *"_s, u"A.mp3 *"_s, u"b.mp3 *"_s}},
        {"names differing only in case are two nodes, in the order they came",
         {u"/r/abc/1.mp3"_s, u"/r/ABC/2.mp3"_s},
         u"/r"_s,
         {u"abc"_s, u"  1.mp3 *"_s, u"ABC"_s, u"  2.mp3 *"_s}},
        {"a path outside the root keeps all its folders",
         {u"/inny/x.mp3"_s, u"/r/y.mp3"_s},
         u"/r"_s,
         {u"inny"_s, u"  x.mp3 *"_s, u"y.mp3 *"_s}},
        {"doubled and trailing slashes add no component",
         {u"/r//a///b.mp3/"_s},
         u"/r"_s,
         {u"a"_s, u"  b.mp3 *"_s}},
        {"the same path twice: only the first makes a node", {u"/r/a.mp3"_s, u"/r/a.mp3"_s}, u"/r"_s, {u"a.mp3 *"_s}},
        {"a path that is only the root adds nothing", {u"/r/"_s, u"/"_s}, u"/r"_s, {}},
        {"no tracks", {}, u"/r"_s, {}},
    };
    for (const Case &c : cases) {
        QList<Track> tracks;
        for (const QString &p : c.paths)
            tracks.append(at(p));
        EXPECT_EQ(lines(tracks, c.root), c.expected) << c.name;
    }
    const auto mac = folders::build({at(u"/home/ola/a.mp3"_s)}, std::nullopt);
    EXPECT_EQ(mac->children->front()->id, u"//home"_s);
    EXPECT_EQ(mac->children->front()->children->front()->children->front()->id, u"//home/ola/a.mp3"_s);
}

TEST(FolderTreeBuild, SecondTrackOnAPathAttachesNothing)
{
    const Track first = at(u"/r/a.mp3"_s), second = at(u"/r/a.mp3"_s);
    const auto root = folders::build({first, second}, u"/r"_s);
    ASSERT_EQ(root->children->size(), 1u);
    EXPECT_EQ(root->children->front()->track->id, first.id);
}

class FolderTreeTest : public LibraryTest
{
protected:
    void TearDown() override
    {
        view.reset();
        LibraryTest::TearDown();
    }
    void makeView()
    {
        view = std::make_unique<FolderTreeView>(model.get(), &workspace);
        view->resize(600, 400);
        view->show();
    }
    RecordingWorkspace workspace;
    std::unique_ptr<FolderTreeView> view;
};

TEST_F(FolderTreeTest, RowsShowCodecAndAlbumOnFilesOnly)
{
    makeView();
    view->setTracks({at(u"/r/Music/a.flac"_s, u"FLAC"_s)}, u"/r"_s);
    FolderTreeModel *tree = view->tree();
    const QModelIndex music = tree->index(0, FolderTreeModel::name);
    EXPECT_EQ(music.data().toString(), u"Music"_s);
    EXPECT_FALSE(tree->index(0, FolderTreeModel::codec).data().isValid());
    EXPECT_FALSE(tree->index(0, FolderTreeModel::album).data().isValid());
    const QModelIndex file = tree->index(0, FolderTreeModel::name, music);
    EXPECT_EQ(file.data().toString(), u"a.flac"_s);
    EXPECT_EQ(tree->index(0, FolderTreeModel::codec, music).data().toString(), u"FLAC"_s);
    EXPECT_EQ(tree->index(0, FolderTreeModel::album, music).data().toString(), u"Album"_s);
    EXPECT_FALSE(tree->hasChildren(file));
}

TEST_F(FolderTreeTest, AlbumButtonOpensTheWholeAlbumOfTheSide)
{
    Spec s;
    s.folder = u"/r/Music/X"_s;
    QList<Track> all = album(u"X"_s, u"Y"_s, 3, s);
    all[2].info.codec = u"MP3"_s;
    model->setTracks(all);
    makeView();
    view->setTracks({all[0]}, std::nullopt); // the filtered list holds one of three
    view->outline()->expandAll();
    QModelIndex index = view->tree()->indexOf(u"/"_s + all[0].url, FolderTreeModel::album);
    ASSERT_TRUE(index.isValid());
    view->outline()->scrollTo(index);
    QTest::mouseClick(view->outline()->viewport(), Qt::LeftButton, {},
                      view->outline()->visualRect(index).center());
    ASSERT_TRUE(model->openAlbum().has_value());
    EXPECT_EQ(model->openAlbum()->tracks.size(), 3);
    // A folder's "Album" place does nothing.
    model->setOpenAlbum(std::nullopt);
    const QModelIndex folder = view->tree()->indexOf(u"//r"_s, FolderTreeModel::album);
    QTest::mouseClick(view->outline()->viewport(), Qt::LeftButton, {}, view->outline()->visualRect(folder).center());
    EXPECT_FALSE(model->openAlbum().has_value());
}

TEST_F(FolderTreeTest, RevealUsesTheCleanedRealPathOnEveryRow)
{
    makeView();
    view->setTracks({at(u"/home/ola/a.mp3"_s)}, std::nullopt);
    view->outline()->expandAll();
    for (const QString &id : {u"//home"_s, u"//home/ola"_s, u"//home/ola/a.mp3"_s}) {
        QMenu *menu = view->contextMenu(view->tree()->indexOf(id));
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().first()->text(), u"Pokaż w menedżerze plików"_s);
        menu->actions().first()->trigger();
        delete menu;
    }
    EXPECT_EQ(workspace.revealed, (QList<QStringList>{{u"/home"_s}, {u"/home/ola"_s}, {u"/home/ola/a.mp3"_s}}));
}

TEST_F(FolderTreeTest, ExpansionIsKeptAcrossRebuilds)
{
    makeView();
    const QList<Track> tracks = {at(u"/r/Music/A/1.mp3"_s, u"FLAC"_s), at(u"/r/Music/B/2.mp3"_s),
                                 at(u"/r/Music/A/3.mp3"_s)};
    view->setTracks(tracks, u"/r"_s);
    view->outline()->expand(view->tree()->indexOf(u"/r/Music"_s));
    view->outline()->expand(view->tree()->indexOf(u"/r/Music/A"_s));
    view->outline()->collapse(view->tree()->indexOf(u"/r/Music/A"_s));
    view->outline()->expand(view->tree()->indexOf(u"/r/Music/B"_s));
    EXPECT_EQ(view->expandedIds(), (QSet<QString>{u"/r/Music"_s, u"/r/Music/B"_s}));

    // A filter drops B; the tree is rebuilt and Music stays open.
    view->setTracks({tracks[0], tracks[2]}, u"/r"_s);
    EXPECT_TRUE(view->outline()->isExpanded(view->tree()->indexOf(u"/r/Music"_s)));
    EXPECT_FALSE(view->outline()->isExpanded(view->tree()->indexOf(u"/r/Music/A"_s)));
    EXPECT_FALSE(view->tree()->indexOf(u"/r/Music/B"_s).isValid());
    // B comes back open when the filter lets it through again.
    view->setTracks(tracks, u"/r"_s);
    EXPECT_TRUE(view->outline()->isExpanded(view->tree()->indexOf(u"/r/Music/B"_s)));
}

TEST_F(FolderTreeTest, Screenshots)
{
    const QList<Track> tracks = {
        at(u"/media/IPOD/Music/Żaneta Łęcka/Pieśni źródlane/01 Zażółć.flac"_s, u"FLAC"_s),
        at(u"/media/IPOD/Music/Żaneta Łęcka/Pieśni źródlane/02 Łąka.flac"_s, u"FLAC"_s),
        at(u"/media/IPOD/Music/Żaneta Łęcka/Pieśni źródlane/10 Ćma.flac"_s, u"FLAC"_s),
        at(u"/media/IPOD/Music/Bartek/Jedna/1.mp3"_s),
        at(u"/media/IPOD/Music/Bartek/Jedna/2.m4a"_s, u"AAC"_s),
    };
    for (const char *language : {"pl", "en"}) {
        for (bool dark : {false, true}) {
            setLanguage(QString::fromLatin1(language));
            makeView();
            view->setPalette(dark ? kit::darkPalette() : kit::lightPalette());
            view->setAutoFillBackground(true);
            view->setTracks(tracks, u"/media/IPOD"_s);
            view->outline()->expandAll();
            screenshot(*view, u"library-folders-"_s + QString::fromLatin1(language) + (dark ? u"-dark"_s : u"-light"_s));
        }
    }
}

} // namespace
