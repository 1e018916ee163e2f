#pragma once

// How the model's operations run their long steps: a job on a worker thread
// that returns a value or an error, and a continuation on the model's thread
// that always arrives through the event loop (never inside the call that
// started the job, and always behind the progress steps the job posted), and
// never once the model is gone.

#include "platform/errors.h"

#include <QCoreApplication>
#include <QFuture>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <memory>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace ModelTasks {

// The result of a job: a value, or the error it threw.
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::exception_ptr error;
    bool ok() const { return !error; }
    QString errorText() const { return describe(error); }
};

// Jobs without a value report this.
struct Done {};

// Requests that may wait 25 or 35 seconds for a server get threads of their
// own, so they never hold up file work in the global pool.
inline QThreadPool *networkPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool(QCoreApplication::instance());
        p->setMaxThreadCount(4);
        return p;
    }();
    return pool;
}

inline QThreadPool *filePool() { return QThreadPool::globalInstance(); }

// Held by a job of the file pool while it waits for threads of its own (the
// import reading its files on every core): the file pool may start another
// thread in its place meanwhile. Qt scales a large picture (a cover's
// preview) on the file pool and waits for it; were every thread of the file
// pool waiting on such threads (a single core gives it one), neither would
// ever go on. Elsewhere it does nothing.
class FilePoolWait
{
public:
    FilePoolWait() : m_held(filePool()->contains(QThread::currentThread()))
    {
        if (m_held)
            filePool()->releaseThread();
    }
    ~FilePoolWait()
    {
        if (m_held)
            filePool()->reserveThread();
    }
    FilePoolWait(const FilePoolWait &) = delete;
    FilePoolWait &operator=(const FilePoolWait &) = delete;

private:
    bool m_held;
};

// Posting from a worker and the application's teardown exclude each other: a
// job that ends while the application object is being destroyed (a gallery
// request still waiting when the window closes) would otherwise wake an event
// dispatcher that is half gone. The application's post routines run before its
// event dispatcher goes; from then on nothing is posted.
struct Shutdown {
    QMutex mutex;
    bool closing = false;
};

inline Shutdown &shutdown()
{
    static Shutdown state;
    static const bool watched = [] {
        qAddPostRoutine([] {
            QMutexLocker lock(&shutdown().mutex);
            shutdown().closing = true;
        });
        return true;
    }();
    (void)watched;
    return state;
}

// Lets go of `held` on a worker: freeing what the lists or the records of a
// big library hold would take the main thread several milliseconds.
template <typename T>
void release(std::shared_ptr<T> held)
{
    if (held)
        QThreadPool::globalInstance()->start([held = std::move(held)]() mutable { held.reset(); });
}

// Runs f on the main thread, through the event loop, unless the application is gone.
template <typename F>
void post(F f)
{
    Shutdown &state = shutdown();
    QMutexLocker lock(&state.mutex);
    if (state.closing)
        return;
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

// Lets go of `held` on a worker once the main thread is back in its event
// loop: the views that read new lists right after a change copy tracks that
// share their texts with what is freed, and doing both at once on two cores
// makes each wait for the other.
template <typename T>
void releaseLater(std::shared_ptr<T> held)
{
    post([held = std::move(held)]() mutable { release(std::move(held)); });
}

// Runs job on pool and hands its outcome to done on context's thread. When
// context is gone by then, done never runs.
template <typename Job, typename DoneFn>
void run(QObject *context, QThreadPool *pool, Job job, DoneFn done)
{
    using Raw = std::invoke_result_t<Job>;
    using Value = std::conditional_t<std::is_void_v<Raw>, Done, Raw>;
    // Errors are caught inside the job, so a platform error of any type arrives
    // as itself rather than wrapped as an unhandled exception. The job posts its
    // own outcome to the application object: a continuation bound to the
    // context would, in this Qt, assert when the context is destroyed before the
    // job ends (a model closed while a gallery request still runs), and
    // attaching any continuation races with a job that is just ending.
    QPointer<QObject> guard(context);
    (void)QtConcurrent::run(pool, [job = std::move(job), guard, done = std::move(done)]() mutable {
        Outcome<Value> outcome{std::nullopt, nullptr};
        try {
            if constexpr (std::is_void_v<Raw>) {
                job();
                outcome = {Done{}, nullptr};
            } else {
                outcome = {job(), nullptr};
            }
        } catch (...) {
            outcome = {std::nullopt, std::current_exception()};
        }
        post([guard, done = std::move(done), outcome = std::move(outcome)]() mutable {
            if (guard)
                done(outcome);
        });
    });
}

// A progress report from a worker, applied on the main thread when the target
// still exists. The guard is made on the main thread; workers only copy it.
template <typename Target, typename Apply>
std::function<void(int, int)> progressPoster(Target *target, Apply apply)
{
    QPointer<Target> guard(target);
    return [guard, apply](int done, int total) {
        post([guard, apply, done, total] {
            if (guard)
                apply(guard.data(), done, total);
        });
    };
}

} // namespace ModelTasks
