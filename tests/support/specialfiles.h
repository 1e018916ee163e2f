#pragma once

// Things that can stand where a program expects its own files: a FIFO, a link
// to an endless device, a private device node, and a small file system that
// fills up. Device nodes and mounts need root; `available()` tells.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace special {

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// A link to /dev/zero: reads never end.
inline bool makeEndless(const QString &path)
{
    return ::symlink("/dev/zero", QFile::encodeName(path).constData()) == 0;
}

// A private null device (char 1:3) at `path`; false unless root.
inline bool makeNullDevice(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

inline bool isCharDevice(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

inline bool isFifo(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A tmpfs of `bytes` mounted on a folder of its own for the life of the object.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes, bool readOnly = false)
    {
        if (!m_dir.isValid())
            return;
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::mount("vontaro-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                            readOnly ? MS_RDONLY : 0, options.constData())
                    == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool available() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

    // Fills the disk with one file until no byte more fits.
    void fill(const QString &name = QStringLiteral("filler"))
    {
        QFile file(path() + u'/' + name);
        if (!file.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'x');
        while (file.write(block) == block.size() && file.flush()) {
        }
        // What is left over, byte by byte.
        while (file.write("x", 1) == 1 && file.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace special
