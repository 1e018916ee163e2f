// The whole application with a generated library of 20,000 real audio files in
// 2,000 album folders, a cover file in each, the way a person meets it: the
// real main window over the real model, with a home folder of its own.
//
// Every run starts the application as a process of its own (this program
// again, with --phase), so a start-up is a real cold start of the process
// with a warm disk cache:
//  - BM_Import: nothing saved; the window paints, then "Dodaj muzykę…" adds
//    the library's folder and the run waits until the tracks are published;
//  - BM_StartUp: the saved library of the import; time from the launch to
//    the first painted window and to the restored library, and the longest
//    main-thread step after the first paint;
//  - BM_Use: a test device folder chosen, 20 albums queued and transferred,
//    every section of the sidebar clicked once, the album grid scrolled from
//    top to bottom, five albums forgotten, the device's 2,000 albums read
//    and Cover Flow flipped.
//
// The main thread is watched two ways: every event the application delivers
// is timed (a "step": one timer, one queued call, one paint…), by the clock
// (<name>_step_ms) and by the main thread's own processor time
// (<name>_step_cpu_ms, which leaves out waiting for a processor on a busy
// machine), and a 4 ms heartbeat timer measures how late the event loop came
// back to it (<name>_gap_ms). The receiver of each span's longest step is
// written to stderr, with that step's own processor time and how often the
// main thread gave up its processor during it: waiting (for a lock, another
// thread or the disk) or taken off it by the scheduler on a busy machine. Counters are in milliseconds; over the iterations each
// figure's worst value is reported, and its best as <name>_min.
//
//   QT_QPA_PLATFORM=offscreen appstartup_bench
//   xvfb-run -a appstartup_bench --benchmark_filter=StartUp

#include "generatedlibrary.h"
#include "model/tavomodel.h"
#include "platform/defaults.h"
#include "ui/coverflow/coverflowview.h"
#include "ui/coverflow/coverflowwindow.h"
#include "ui/library/albumgrid.h"
#include "ui/library/librarypage.h"
#include "ui/shell/appsession.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/sidebar.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTracks = 20'000;
constexpr int kPerAlbum = 10;
constexpr int kAlbums = kTracks / kPerAlbum;
constexpr int kTransferAlbums = 20;
constexpr int kHeartbeatMs = 4;

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The main thread's own processor time: a step's work without the time it
// waited for a processor on a busy machine.
// How often the main thread so far waited (voluntary switches) and was
// preempted (involuntary ones).
std::pair<long, long> threadSwitches()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// ---------------------------------------------------------------------------
// The child: one run of the application.

// What the main thread did, between marks set by the run.
class Watch
{
public:
    struct Span {
        double longestStep = 0; // ms
        QString longestWhat;
        double longestStepCpu = 0; // ms of processor time of the longest step
        long longestStepWaits = 0;
        long longestStepPreempted = 0;
        double longestCpu = 0; // ms of processor time of the step that used most
        QString longestCpuWhat;
        double longestGap = 0; // ms beyond the heartbeat's interval
        int stepsOver16 = 0;
        int stepsOver100 = 0;
    };

    void begin()
    {
        m_span = Span();
        m_lastBeat = monotonicNs();
    }
    Span end() const { return m_span; }

    void step(qint64 took, qint64 cpu, const QString &what, std::pair<long, long> switches = {})
    {
        if (ms(cpu) > m_span.longestCpu) {
            m_span.longestCpu = ms(cpu);
            m_span.longestCpuWhat = what;
        }
        const double t = ms(took);
        if (t > 16)
            ++m_span.stepsOver16;
        if (t > 100)
            ++m_span.stepsOver100;
        if (t > m_span.longestStep) {
            m_span.longestStep = t;
            m_span.longestWhat = what;
            m_span.longestStepCpu = ms(cpu);
            m_span.longestStepWaits = switches.first;
            m_span.longestStepPreempted = switches.second;
        }
    }

    void beat()
    {
        const qint64 now = monotonicNs();
        const double late = ms(now - m_lastBeat) - kHeartbeatMs;
        m_span.longestGap = std::max(m_span.longestGap, late);
        m_lastBeat = now;
    }

private:
    Span m_span;
    qint64 m_lastBeat = 0;
};

class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    Watch watch;
    QWidget *window = nullptr;      // the main window, once made
    qint64 firstPaintEnd = 0;       // monotonic ns; 0 until the window painted
    qint64 lastPaintEnd = 0;        // the end of the latest step that painted the window
    QWidget *paintedUnder = nullptr; // when set: the end of the first step painting inside it
    qint64 paintedUnderEnd = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && receiver->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(receiver);
            if (window && widget->window() == window)
                m_paintedWindow = true;
            if (paintedUnder && (widget == paintedUnder || paintedUnder->isAncestorOf(widget)))
                m_paintedUnder = true;
        }
        if (m_depth > 0) {
            ++m_depth;
            const bool result = QApplication::notify(receiver, event);
            --m_depth;
            return result;
        }
        const QEvent::Type type = event->type();
        const char *className = receiver->metaObject()->className();
        const QString name = receiver->objectName();
        const qint64 start = monotonicNs();
        const qint64 cpuStart = threadCpuNs();
        const std::pair<long, long> switchesStart = threadSwitches();
        ++m_depth;
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        const qint64 end = monotonicNs();
        const std::pair<long, long> switchesEnd = threadSwitches();
        watch.step(end - start, threadCpuNs() - cpuStart,
                   QString::fromLatin1(className) + (name.isEmpty() ? QString() : u" \""_s + name + u'"') + u" event "_s
                       + QString::number(int(type)),
                   {switchesEnd.first - switchesStart.first, switchesEnd.second - switchesStart.second});
        if (m_paintedWindow) {
            m_paintedWindow = false;
            if (!firstPaintEnd)
                firstPaintEnd = end;
            lastPaintEnd = end;
        }
        if (m_paintedUnder) {
            m_paintedUnder = false;
            if (!paintedUnderEnd)
                paintedUnderEnd = end;
        }
        return result;
    }

private:
    int m_depth = 0;
    bool m_paintedWindow = false;
    bool m_paintedUnder = false;
};

TimedApplication *timedApp()
{
    return static_cast<TimedApplication *>(QCoreApplication::instance());
}

void figure(const char *name, double value)
{
    std::printf("figure %s %.3f\n", name, value);
    std::fflush(stdout);
}

void figure(const QString &name, double value)
{
    figure(name.toUtf8().constData(), value);
}

// The figures of a span, with the longest step's receiver on stderr.
void report(const QString &prefix, const Watch::Span &span)
{
    figure(prefix + u"_step_ms"_s, span.longestStep);
    figure(prefix + u"_step_cpu_ms"_s, span.longestCpu);
    figure(prefix + u"_gap_ms"_s, span.longestGap);
    figure(prefix + u"_steps_over16"_s, span.stepsOver16);
    figure(prefix + u"_longest_step_cpu_ms"_s, span.longestStepCpu);
    std::fprintf(stderr,
                 "%s: longest step %.1f ms (its processor time %.1f ms, waited %ld times, preempted %ld times): %s; "
                 "most processor time %.1f ms: %s\n",
                 qPrintable(prefix), span.longestStep, span.longestStepCpu, span.longestStepWaits,
                 span.longestStepPreempted, qPrintable(span.longestWhat), span.longestCpu,
                 qPrintable(span.longestCpuWhat));
}

// Runs the event loop (the application's own way of waiting) until `done`
// holds or the time is up. The heartbeat runs meanwhile.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(2);
    if (!done())
        loop.exec();
    return done();
}

// Runs `act` as one step of the event loop, as a click on a menu or a button
// would, so that the watch times it.
void inLoop(std::function<void()> act)
{
    QMetaObject::invokeMethod(qApp, std::move(act), Qt::QueuedConnection);
}

void idle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    waitUntil([&] { return clock.elapsed() >= milliseconds; }, milliseconds + 1000);
}

struct Arguments {
    QString phase;
    QString library;
    QString device;
    qint64 launched = 0;
};

// The application as its entry point assembles it, its window shown.
struct Application {
    std::unique_ptr<AppSession> session;
    TavoModel *model;
    MainWindow *window;

    Application()
        : session(std::make_unique<AppSession>())
        , model(session->model())
        , window(session->window())
    {
        timedApp()->window = window;
        window->show();
    }
    ~Application()
    {
        timedApp()->window = nullptr;
        session.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Defaults::flush();
    }

    bool restored() const { return model->tracks().size() >= kTracks && !model->busy(); }
};

int importPhase(const Arguments &args)
{
    TimedApplication *app = timedApp();
    Application a;
    waitUntil([&] { return app->firstPaintEnd != 0; }, 30'000);
    figure("first_paint_ms", ms(app->firstPaintEnd - args.launched));
    idle(300);

    a.model->setFilesChooser([&](const QString &) { return std::optional<QStringList>(QStringList{args.library}); });
    app->watch.begin();
    const qint64 start = monotonicNs();
    inLoop([&] { a.window->action(u"Dodaj muzykę…"_s)->trigger(); });
    waitUntil([&] { return a.restored(); }, 600'000);
    const qint64 done = monotonicNs();
    idle(1000); // what follows the publication (covers in view, the inspector)
    figure("import_ms", ms(done - start));
    figure("tracks", double(a.model->tracks().size()));
    report(u"import"_s, app->watch.end());
    return a.model->tracks().size() == kTracks ? 0 : 1;
}

int startupPhase(const Arguments &args)
{
    TimedApplication *app = timedApp();
    app->watch.begin();
    figure("before_model_ms", ms(monotonicNs() - args.launched));
    Application a;
    figure("window_shown_ms", ms(monotonicNs() - args.launched));
    qint64 restoredAt = 0;
    QObject::connect(a.model, &TavoModel::busyChanged, [&] {
        if (!restoredAt && a.restored())
            restoredAt = monotonicNs();
    });
    waitUntil([&] { return app->firstPaintEnd != 0; }, 30'000);
    const Watch::Span beforePaint = app->watch.end();
    app->watch.begin();
    const bool painted = app->firstPaintEnd != 0;
    figure("first_paint_ms", ms(app->firstPaintEnd - args.launched));
    figure("restored_before_paint", restoredAt != 0 && restoredAt < app->firstPaintEnd ? 1 : 0);
    waitUntil([&] { return restoredAt != 0; }, 120'000);
    figure("restored_ms", ms(restoredAt - args.launched));
    idle(1500); // the grid's covers, the inspector and whatever the restore set off
    figure("restored_painted_ms", ms(app->lastPaintEnd - args.launched));
    std::fprintf(stderr, "before first paint: longest step %.1f ms: %s\n", beforePaint.longestStep,
                 qPrintable(beforePaint.longestWhat));
    report(u"after_paint"_s, app->watch.end());
    figure("tracks", double(a.model->tracks().size()));
    return painted && a.model->tracks().size() == kTracks ? 0 : 1;
}

// A page's first paint after its sidebar button is clicked, and the steps
// until it has settled.
void clickSection(Application &a, Section section, const QString &name)
{
    TimedApplication *app = timedApp();
    SectionButton *button = a.window->sidebar()->button(section);
    app->watch.begin();
    app->paintedUnderEnd = 0;
    const qint64 start = monotonicNs();
    QTest::mouseClick(button, Qt::LeftButton);
    app->paintedUnder = a.window->page();
    waitUntil([&] { return app->paintedUnderEnd != 0; }, 10'000);
    figure(u"page_"_s + name + u"_paint_ms"_s, ms(app->paintedUnderEnd - start));
    app->paintedUnder = nullptr;
    idle(700);
    report(u"page_"_s + name, app->watch.end());
}

int usePhase(const Arguments &args)
{
    TimedApplication *app = timedApp();
    Application a;
    waitUntil([&] { return a.restored(); }, 120'000);
    idle(1000);

    // The device: a test folder, chosen through the menu.
    a.model->setFolderChooser([&](const QString &, const QString &) { return std::optional<QString>(args.device); });
    inLoop([&] { a.window->action(u"Wybierz urządzenie…"_s)->trigger(); });
    waitUntil([&] { return a.model->device().has_value(); }, 30'000);
    idle(500);

    // Twenty albums queued as their cards' buttons do, then sent.
    app->watch.begin();
    const QList<Album> albums = a.model->albums();
    for (int i = 0; i < kTransferAlbums && i < albums.size(); ++i)
        inLoop([&, i] { a.model->toggle(albums.at(i * (albums.size() / kTransferAlbums))); });
    idle(300);
    report(u"queue"_s, app->watch.end());
    app->watch.begin();
    qint64 start = monotonicNs();
    inLoop([&] { a.window->action(u"Wgraj muzykę"_s)->trigger(); });
    waitUntil([&] { return !a.model->busy() && a.model->alert().has_value(); }, 300'000);
    figure("transfer_ms", ms(monotonicNs() - start));
    idle(500);
    report(u"transfer"_s, app->watch.end());
    inLoop([&] { a.model->setAlert(std::nullopt); });
    idle(300);

    // Each section once, the music page last (a page of its own again).
    const std::pair<Section, QString> order[] = {
        {Section::device, u"device"_s},   {Section::playlists, u"playlists"_s}, {Section::themes, u"themes"_s},
        {Section::backups, u"backups"_s}, {Section::quality, u"quality"_s},     {Section::guide, u"guide"_s},
        {Section::music, u"music"_s},
    };
    for (const auto &[section, name] : order)
        clickSection(a, section, name);

    // The album grid from top to bottom, 120 pixels a frame.
    auto *page = qobject_cast<LibraryPage *>(a.window->page());
    if (!page)
        return 1;
    AlbumGridView *grid = page->grid();
    QScrollBar *bar = grid->verticalScrollBar();
    double longestFrame = 0;
    int framesOver16 = 0;
    app->watch.begin();
    for (int value = 0; value <= bar->maximum(); value += 120) {
        const qint64 t0 = monotonicNs();
        bar->setValue(value);
        grid->viewport()->repaint();
        QCoreApplication::processEvents(); // decoded covers arrive and repaint
        const double frame = ms(monotonicNs() - t0);
        longestFrame = std::max(longestFrame, frame);
        framesOver16 += frame > 16;
    }
    idle(300);
    figure("grid_frame_ms", longestFrame);
    figure("grid_frames_over16", framesOver16);
    report(u"grid_scroll"_s, app->watch.end());

    // Five albums forgotten one after another, as their cards' menu does;
    // each time the grid, the transfer bar and the saved library follow.
    app->watch.begin();
    for (int i = 0; i < 5; ++i) {
        inLoop([&a, i] {
            const QList<Album> shown = a.model->albums();
            a.model->forget(shown.at(shown.size() / 5 * i));
        });
        idle(300);
    }
    report(u"forget"_s, app->watch.end());

    // The device's own 2,000 albums read, as the page's button does.
    app->watch.begin();
    start = monotonicNs();
    QTest::mouseClick(page->deviceButton(), Qt::LeftButton);
    waitUntil([&] { return !a.model->busy() && a.model->deviceTracks().size() >= kTracks; }, 600'000);
    figure("device_read_ms", ms(monotonicNs() - start));
    idle(500);
    report(u"device_read"_s, app->watch.end());

    // Cover Flow opened and flipped through 60 albums at a person's pace.
    app->watch.begin();
    start = monotonicNs();
    inLoop([&] { a.model->revealCoverFlow(); });
    waitUntil([&] {
        CoverFlowWindow *w = CoverFlowWindow::current();
        return w && w->view()->items().size() >= kAlbums;
    }, 60'000);
    figure("coverflow_open_ms", ms(monotonicNs() - start));
    idle(1000);
    report(u"coverflow_open"_s, app->watch.end());
    CoverFlowView *flow = CoverFlowWindow::current() ? CoverFlowWindow::current()->view() : nullptr;
    if (!flow)
        return 1;
    app->watch.begin();
    inLoop([flow] { flow->select(kAlbums / 2); });
    for (int i = 1; i <= 60; ++i) {
        inLoop([flow, i] { flow->select(kAlbums / 2 + i); });
        idle(120);
    }
    idle(500);
    report(u"coverflow_flip"_s, app->watch.end());
    return 0;
}

int runPhase(int argc, char **argv)
{
    Arguments args;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray key(argv[i]);
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (key == "--phase")
            args.phase = value;
        else if (key == "--library")
            args.library = value;
        else if (key == "--device")
            args.device = value;
        else if (key == "--launched")
            args.launched = value.toLongLong();
    }
    if (!args.launched)
        args.launched = monotonicNs();
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    TimedApplication app(argc, argv);
    QApplication::setApplicationName(u"Vontaro"_s);
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { app.watch.beat(); });
    heartbeat.start(kHeartbeatMs);
    if (args.phase == u"import"_s)
        return importPhase(args);
    if (args.phase == u"startup"_s)
        return startupPhase(args);
    if (args.phase == u"use"_s)
        return usePhase(args);
    return 2;
}

// ---------------------------------------------------------------------------
// The parent: the generated files and the runs.

struct Scenario {
    generated::AudioLibrary library;
    QTemporaryDir home;
    QTemporaryDir devices;
    bool imported = false;

    Scenario()
        : library(kTracks, kPerAlbum, [](int album) {
            // 32 pictures of 500 to 900 pixels, as scanned or downloaded covers are.
            static QList<QByteArray> pictures;
            if (pictures.isEmpty()) {
                for (int i = 0; i < 32; ++i) {
                    const int side = 500 + (i * 53) % 401;
                    pictures.append(generated::photoJPEG(side, i % 4 == 0 ? side * 3 / 4 : side, quint32(i + 1)));
                }
            }
            return pictures.at(album % pictures.size());
        })
    {
    }

    // A home of its own: settings, saved library and caches go there.
    void freshHome() const
    {
        QDir(home.path()).removeRecursively();
        QDir().mkpath(home.path());
    }

    // A test device: .rockbox, and the whole library under Music/Archive as
    // hard links, so reading the device finds 2,000 albums.
    QString freshDevice() const
    {
        const QString root = devices.path() + u"/IPOD"_s;
        QDir(root).removeRecursively();
        QDir().mkpath(root + u"/.rockbox"_s);
        const QString archive = root + u"/Music/Archive"_s;
        const QString base = library.dir.path();
        QDirIterator it(base, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = archive + file.mid(base.size());
            QDir().mkpath(QFileInfo(target).path());
            if (::link(QFile::encodeName(file).constData(), QFile::encodeName(target).constData()) != 0)
                QFile::copy(file, target);
        }
        return root;
    }
};

Scenario &scenario()
{
    static Scenario s;
    return s;
}

// Runs one phase in a process of its own and returns its figures.
std::map<std::string, double> runChild(const QString &phase, const QString &device = QString())
{
    Scenario &s = scenario();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, s.home.path());
    env.insert(u"XDG_CONFIG_HOME"_s, s.home.path() + u"/.config"_s);
    env.insert(u"XDG_DATA_HOME"_s, s.home.path() + u"/.local/share"_s);
    env.insert(u"XDG_CACHE_HOME"_s, s.home.path() + u"/.cache"_s);
    if (!env.contains(u"QT_QPA_PLATFORM"_s) && !env.contains(u"DISPLAY"_s))
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments = {u"--phase"_s, phase, u"--library"_s, s.library.dir.path()};
    if (!device.isEmpty())
        arguments << u"--device"_s << device;
    arguments << u"--launched"_s << QString::number(monotonicNs());
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    std::map<std::string, double> figures;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 3 && parts[0] == "figure")
            figures[parts[1].toStdString()] = parts[2].toDouble();
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        figures["failed"] = 1;
    return figures;
}

// Worst and best of each figure over the iterations.
class Figures
{
public:
    void add(const std::map<std::string, double> &run)
    {
        for (const auto &[name, value] : run) {
            auto [it, inserted] = m_range.try_emplace(name, value, value);
            it->second.first = std::min(it->second.first, value);
            it->second.second = std::max(it->second.second, value);
        }
    }
    void report(benchmark::State &state) const
    {
        for (const auto &[name, range] : m_range) {
            state.counters[name] = range.second;
            state.counters[name + "_min"] = range.first;
            std::fprintf(stderr, "  %s: %.1f–%.1f\n", name.c_str(), range.first, range.second);
        }
        if (m_range.count("failed"))
            state.SkipWithError("a run did not finish");
    }

private:
    std::map<std::string, std::pair<double, double>> m_range;
};

void BM_Import(benchmark::State &state)
{
    Scenario &s = scenario();
    Figures figures;
    for (auto _ : state) {
        s.freshHome();
        figures.add(runChild(u"import"_s));
        s.imported = true;
    }
    figures.report(state);
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void ensureImported()
{
    Scenario &s = scenario();
    if (!s.imported) {
        s.freshHome();
        runChild(u"import"_s);
        s.imported = true;
    }
}

void BM_StartUp(benchmark::State &state)
{
    ensureImported();
    Figures figures;
    for (auto _ : state)
        figures.add(runChild(u"startup"_s));
    figures.report(state);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Use(benchmark::State &state)
{
    ensureImported();
    Figures figures;
    for (auto _ : state) {
        state.PauseTiming();
        const QString device = scenario().freshDevice();
        state.ResumeTiming();
        figures.add(runChild(u"use"_s, device));
    }
    figures.report(state);
}
BENCHMARK(BM_Use)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "--phase")
        return runPhase(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
