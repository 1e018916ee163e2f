#include "platform/paths.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

void link(const QString &target, const QString &at)
{
    ASSERT_EQ(::symlink(paths::encode(target).constData(), paths::encode(at).constData()), 0) << at.toStdString();
}

} // namespace

TEST(PathsComponents, Table)
{
    const struct {
        QString path, last, extension, withoutExtension, parent;
    } cases[] = {
        {u"/a/b.flac"_s, u"b.flac"_s, u"flac"_s, u"/a/b"_s, u"/a"_s},
        {u"/a/b.FLAC"_s, u"b.FLAC"_s, u"FLAC"_s, u"/a/b"_s, u"/a"_s},
        {u"/a/a.b.c"_s, u"a.b.c"_s, u"c"_s, u"/a/a.b"_s, u"/a"_s},
        {u"/a/.flac"_s, u".flac"_s, u""_s, u"/a/.flac"_s, u"/a"_s},
        {u"/a/name."_s, u"name."_s, u""_s, u"/a/name."_s, u"/a"_s},
        {u"/a/name"_s, u"name"_s, u""_s, u"/a/name"_s, u"/a"_s},
        {u"/x.y/z"_s, u"z"_s, u""_s, u"/x.y/z"_s, u"/x.y"_s},
        {u"/a/b.flac/"_s, u"b.flac"_s, u"flac"_s, u"/a/b"_s, u"/a"_s},
        {u"/a/Płyta 2.ogg"_s, u"Płyta 2.ogg"_s, u"ogg"_s, u"/a/Płyta 2"_s, u"/a"_s},
        {u"/a"_s, u"a"_s, u""_s, u"/a"_s, u"/"_s},
        {u"/"_s, u"/"_s, u""_s, u"/"_s, u"/"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(paths::lastComponent(c.path), c.last);
        EXPECT_EQ(paths::extension(c.path), c.extension);
        EXPECT_EQ(paths::deletingExtension(c.path), c.withoutExtension);
        EXPECT_EQ(paths::parent(c.path), c.parent);
    }
}

TEST(PathsComposition, AppendingAndStandardizing)
{
    EXPECT_EQ(paths::appending(u"/a"_s, u"b"_s), u"/a/b"_s);
    EXPECT_EQ(paths::appending(u"/a/"_s, u"b"_s), u"/a/b"_s);
    EXPECT_EQ(paths::appending(u"/"_s, u"b"_s), u"/b"_s);
    EXPECT_EQ(paths::appending(u"/a"_s, u"b/c.flac"_s), u"/a/b/c.flac"_s);
    EXPECT_EQ(paths::standardized(u"/a/./b/../c//"_s), u"/a/c"_s);
    EXPECT_EQ(paths::standardized(u"/a/b/"_s), u"/a/b"_s);
    EXPECT_EQ(paths::standardized(u"/"_s), u"/"_s);
    EXPECT_EQ(paths::standardized(u"/.."_s), u"/"_s);
    EXPECT_EQ(paths::standardized(u"/../../a/"_s), u"/a"_s);
    EXPECT_EQ(paths::standardized(u"/..a/b"_s), u"/..a/b"_s);
}

TEST(PathsFileSystem, LookupsNeverFollowTheFinalLink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    writeFile(root + u"/file.flac"_s, "12345");
    QDir(root).mkdir(u"folder"_s);
    link(root + u"/folder"_s, root + u"/folderLink"_s);
    link(root + u"/file.flac"_s, root + u"/fileLink"_s);
    link(root + u"/missing"_s, root + u"/dangling"_s);
    ASSERT_EQ(::mkfifo(paths::encode(root + u"/fifo"_s).constData(), 0644), 0);

    const struct {
        QString name;
        bool link, regular, directory, exists;
        std::optional<qint64> size;
    } cases[] = {
        {u"file.flac"_s, false, true, false, true, 5},
        {u"folder"_s, false, false, true, true, std::nullopt},
        {u"folderLink"_s, true, false, false, true, std::nullopt},
        {u"fileLink"_s, true, false, false, true, std::nullopt},
        {u"dangling"_s, true, false, false, false, std::nullopt},
        {u"fifo"_s, false, false, false, true, 0},
        {u"nothing"_s, false, false, false, false, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = root + u'/' + c.name;
        EXPECT_EQ(paths::isSymbolicLink(path), c.link);
        EXPECT_EQ(paths::isRegularFile(path), c.regular);
        EXPECT_EQ(paths::isDirectory(path), c.directory);
        EXPECT_EQ(paths::exists(path), c.exists);
        if (c.size) {
            EXPECT_EQ(paths::fileSize(path), c.size);
        } else if (!c.exists && !c.link) {
            EXPECT_FALSE(paths::fileSize(path).has_value());
        }
    }

    const auto names = paths::list(root);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(QSet<QString>(names->begin(), names->end()),
              (QSet<QString>{u"file.flac"_s, u"folder"_s, u"folderLink"_s, u"fileLink"_s, u"dangling"_s, u"fifo"_s}));
    EXPECT_FALSE(paths::list(root + u"/nothing"_s).has_value());
    EXPECT_FALSE(paths::list(root + u"/file.flac"_s).has_value());
    EXPECT_EQ(paths::list(root + u"/folder"_s), QStringList());
}

TEST(PathsResolvingLinks, LongestExistingPrefix)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = QFileInfo(dir.path()).canonicalFilePath();
    QDir(root).mkpath(u"real/inner"_s);
    link(root + u"/real"_s, root + u"/link"_s);
    link(u"real/inner"_s, root + u"/relative"_s);

    const struct {
        QString path, resolved;
    } cases[] = {
        {u"/link"_s, u"/real"_s},
        {u"/link/inner"_s, u"/real/inner"_s},
        {u"/link/missing/x.flac"_s, u"/real/missing/x.flac"_s},
        {u"/relative/a"_s, u"/real/inner/a"_s},
        {u"/./link//inner/"_s, u"/real/inner"_s},
        {u"/real/inner/../inner"_s, u"/real/inner"_s},
        {u"/nothing/here"_s, u"/nothing/here"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(paths::resolvingLinks(root + c.path), root + c.resolved) << c.path.toStdString();
}

TEST(PathsWalk, NeverFollowsLinksAndSkipsHidden)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    QDir(root).mkpath(u"sub/deep"_s);
    QDir(root).mkpath(u".hidden"_s);
    writeFile(root + u"/a.flac"_s, "a");
    writeFile(root + u"/.h.flac"_s, "h");
    writeFile(root + u"/.hidden/x.flac"_s, "x");
    writeFile(root + u"/sub/b.flac"_s, "b");
    writeFile(root + u"/sub/deep/c.flac"_s, "c");
    writeFile(root + u"/sub/deep/.d.flac"_s, "d");
    link(root + u"/sub"_s, root + u"/link"_s);
    link(root, root + u"/sub/loop"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + u"/sub/pipe.flac"_s).constData(), 0600), 0);

    auto walked = [&](bool skipHidden) {
        QMap<QString, paths::WalkEntry> entries;
        paths::walk(root, skipHidden, [&](const paths::WalkEntry &entry) {
            EXPECT_FALSE(entries.contains(entry.path)) << entry.path.toStdString();
            entries.insert(entry.path.mid(root.size() + 1), entry);
            return true;
        });
        return entries;
    };

    const auto visible = walked(true);
    EXPECT_EQ(visible.keys(), (QStringList{u"a.flac"_s, u"link"_s, u"sub"_s, u"sub/b.flac"_s, u"sub/deep"_s,
                                           u"sub/deep/c.flac"_s, u"sub/loop"_s, u"sub/pipe.flac"_s}));
    EXPECT_TRUE(visible[u"link"_s].isLink);
    EXPECT_FALSE(visible[u"link"_s].isDirectory);
    EXPECT_TRUE(visible[u"sub/loop"_s].isLink);
    EXPECT_TRUE(visible[u"sub"_s].isDirectory);
    EXPECT_TRUE(visible[u"sub/deep/c.flac"_s].isRegular);
    EXPECT_FALSE(visible[u"sub/deep/c.flac"_s].isLink);
    // A FIFO is neither a file nor a folder.
    EXPECT_FALSE(visible[u"sub/pipe.flac"_s].isRegular);
    EXPECT_FALSE(visible[u"sub/pipe.flac"_s].isDirectory);
    EXPECT_FALSE(visible[u"sub/pipe.flac"_s].isLink);

    const auto all = walked(false);
    for (const QString &hidden : {u".h.flac"_s, u".hidden"_s, u".hidden/x.flac"_s, u"sub/deep/.d.flac"_s})
        EXPECT_TRUE(all.contains(hidden)) << hidden.toStdString();
    EXPECT_EQ(all.size(), visible.size() + 4);

    // Depth first: a folder comes before everything inside it.
    QStringList order;
    paths::walk(root, true, [&](const paths::WalkEntry &e) {
        order.append(e.path.mid(root.size() + 1));
        return true;
    });
    EXPECT_LT(order.indexOf(u"sub"_s), order.indexOf(u"sub/deep"_s));
    EXPECT_LT(order.indexOf(u"sub/deep"_s), order.indexOf(u"sub/deep/c.flac"_s));

    // The visitor stops the walk.
    int visits = 0;
    paths::walk(root, false, [&](const paths::WalkEntry &) { return ++visits < 3; });
    EXPECT_EQ(visits, 3);

    // A missing root is an empty walk.
    paths::walk(root + u"/nothing"_s, false, [&](const paths::WalkEntry &) {
        ADD_FAILURE();
        return true;
    });
}

TEST(PathsEncode, Utf8FileNames)
{
    EXPECT_EQ(paths::encode(u"/a/Płyta é"_s), QByteArray("/a/P\xc5\x82yta \xc3\xa9"));
}
