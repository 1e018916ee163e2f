#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

// Every test process gets its own settings and data folders, set before Qt
// caches them, so no test ever reads or writes the user's real settings.
inline QTemporaryDir &testHome()
{
    static QTemporaryDir dir;
    return dir;
}

inline void redirectUserFolders()
{
    const QByteArray root = testHome().path().toUtf8();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QByteArray path = root + '/' + name;
        QDir().mkpath(QString::fromUtf8(path));
        setenv(name, path.constData(), 1);
    }
    // A runtime folder of its own (Qt wants it private to the user), so Qt
    // neither warns about a missing one nor shares one between test runs.
    const QByteArray runtime = root + "/XDG_RUNTIME_DIR";
    QDir().mkpath(QString::fromUtf8(runtime));
    QFile::setPermissions(QString::fromUtf8(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
    // Offscreen by default, with screens like a person's: a desktop monitor
    // (primary) and, to its right, a 1366 × 768 laptop's free area once a 40 px
    // panel is taken, less the part of a 37 px title bar the offscreen frame
    // (2 px each side) does not count: a window's content gets 1366 × 691
    // there, as on the laptop. Windows open on the first; a test moves one to
    // the second to see it at the small size.
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || QByteArray(platform) == "offscreen") {
        const QString config = testHome().filePath(QStringLiteral("screens.json"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(R"({"windowFrameMargins": true, "screens": [
                {"name": "Desktop", "x": 0, "y": 0, "width": 1920, "height": 1200},
                {"name": "Laptop", "x": 1920, "y": 0, "width": 1366, "height": 695}]})");
        file.close();
        const QByteArray value = QByteArray("offscreen:configfile=") + config.toUtf8();
        setenv("QT_QPA_PLATFORM", value.constData(), 1);
    }
}

// The model watches the mount table and looks for devices again at every
// change, which ends what a test had set up with no device chosen. Mounts made
// elsewhere on the machine meanwhile (another test, a disk plugged in) are no
// business of a test: where the process may, it gets a mount table of its own
// that no outside change reaches. Called first, while the process has a single
// thread; where it is not permitted, the process shares the system's table.
inline void isolateFromOutsideMounts()
{
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
}

// What LeakSanitizer reports of libraries that keep memory to the end on
// purpose, which is not ours to free. OpenSSL keeps state for each thread
// that used it (Qt's network threads load it) and frees it as that thread
// ends; a thread still ending as the process exits leaves it behind now and
// then. Qt's FFmpeg backend keeps a few bytes of the decoder's options once it
// has played into a real output. This header is the one main of each test
// program, so the list is defined once per program.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libcrypto.so\n"
           "leak:libavutil.so\n";
}
