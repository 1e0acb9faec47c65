#include "OptimizerRelay.h"

#include "Optimizer.h"

#include <QTimer>

OptimizerRelay::OptimizerRelay(Optimizer* optimizer)
    : QObject(optimizer)
    , timer(new QTimer(this))
{
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, &OptimizerRelay::deliver);

    // Direct: these run on the pool thread and only queue the event.
    connect(
        optimizer, &Optimizer::logLine, this,
        [this](const QString& text, bool bold) {
            add({Kind::Line, text, 0, bold});
        },
        Qt::DirectConnection);
    connect(
        optimizer, &Optimizer::progressRangeChanged, this,
        [this](int maximumKb) {
            add({Kind::Range, QString(), maximumKb});
        },
        Qt::DirectConnection);
    connect(
        optimizer, &Optimizer::progressChanged, this,
        [this](int valueKb) {
            add({Kind::Progress, QString(), valueKb});
        },
        Qt::DirectConnection);
    connect(
        optimizer, &Optimizer::finished, this,
        [this](bool cancelled, bool fatalError) {
            add({Kind::Finished, QString(), 0, cancelled, fatalError});
        },
        Qt::DirectConnection);
}

void OptimizerRelay::add(Event event)
{
    const bool last = event.kind == Kind::Finished;
    bool wake = last;
    {
        QMutexLocker lock(&mutex);
        pending.push_back(std::move(event));
        if (!ticking) {
            ticking = true;
            wake = true;
        }
    }
    if (wake)
        QMetaObject::invokeMethod(this, &OptimizerRelay::deliver, Qt::QueuedConnection);
}

void OptimizerRelay::deliver()
{
    std::vector<Event> batch;
    bool keepTicking = false;
    {
        QMutexLocker lock(&mutex);
        batch.swap(pending);
        // Nothing new since the last tick (a long VACUUM) or a run's last
        // event stops the timer: the next event wakes this thread at once.
        keepTicking = !batch.empty() && batch.back().kind != Kind::Finished;
        ticking = keepTicking;
    }
    if (keepTicking)
        timer->start();
    else
        timer->stop();

    for (const Event& event : batch) {
        switch (event.kind) {
        case Kind::Line:
            emit logLine(event.text, event.first);
            break;
        case Kind::Range:
            emit progressRangeChanged(event.value);
            break;
        case Kind::Progress:
            emit progressChanged(event.value);
            break;
        case Kind::Finished:
            emit finished(event.first, event.second);
            break;
        }
    }
}
