#include "WorkerThread.h"

#include <QThread>

#include <exception>
#include <memory>

std::future<void> startWorkerThread(std::function<void()> job)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> result = done->get_future();
    QThread* thread = QThread::create([job = std::move(job), done] {
        try {
            job();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    // Nobody joins the thread: it goes once it has ended, in the thread that
    // started it (left to the process's end when that thread has no loop).
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return result;
}
