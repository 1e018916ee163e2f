#include "support/devicefixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
[[noreturn]] void failSetup(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

void makeParent(const QString &path)
{
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        failSetup(u"cannot make "_s + parent);
}
} // namespace

DeviceFixture::DeviceFixture(const QString &name, bool withRockbox)
{
    if (!m_dir.isValid())
        failSetup(u"no temporary folder"_s);
    m_root = m_dir.path() + u'/' + name;
    QDir().mkpath(withRockbox ? m_root + u"/.rockbox"_s : m_root);
}

QString DeviceFixture::path(const QString &relative) const
{
    if (relative.startsWith(u'/'))
        return relative;
    return relative.isEmpty() ? m_root : m_root + u'/' + relative;
}

QString DeviceFixture::outside(const QString &relative) const
{
    return relative.isEmpty() ? base() : base() + u'/' + relative;
}

QString DeviceFixture::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString target = path(relative);
    makeParent(target);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        failSetup(u"cannot write "_s + target);
    return target;
}

QString DeviceFixture::makeFolder(const QString &relative) const
{
    const QString target = path(relative);
    if (!QDir().mkpath(target))
        failSetup(u"cannot make "_s + target);
    return target;
}

QString DeviceFixture::makeLink(const QString &relative, const QString &target) const
{
    const QString link = path(relative);
    makeParent(link);
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0)
        failSetup(u"cannot link "_s + link);
    return link;
}

void DeviceFixture::writeInfo(const QByteArray &text) const
{
    writeFile(u".rockbox/rockbox-info.txt"_s, text);
}

QByteArray DeviceFixture::read(const QString &relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool DeviceFixture::exists(const QString &relative) const
{
    struct stat st;
    return ::lstat(QFile::encodeName(path(relative)).constData(), &st) == 0;
}

QStringList DeviceFixture::entriesBelow(const QString &relative) const
{
    const QString folder = path(relative);
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(folder).relativeFilePath(it.next()));
    std::sort(found.begin(), found.end());
    return found;
}

void DeviceFixture::copyTree(const QString &from, const QString &to)
{
    const QFileInfo info(from);
    if (info.isSymLink()) {
        if (::symlink(QFile::encodeName(info.symLinkTarget()).constData(), QFile::encodeName(to).constData()) != 0)
            failSetup(u"cannot link "_s + to);
    } else if (info.isDir()) {
        QDir().mkpath(to);
        const QStringList names = QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            copyTree(from + u'/' + name, to + u'/' + name);
    } else if (!QFile::copy(from, to)) {
        failSetup(u"cannot copy "_s + from);
    }
}

QByteArray DeviceFixture::bytes(qsizetype size, char seed)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char(seed + (i * 7) % 23);
    return out;
}
