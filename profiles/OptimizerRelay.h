#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

#include <vector>

class Optimizer;
class QTimer;

// Hands an Optimizer's four signals from its pool thread to the thread this
// object lives on in batches: the first of a run at once, then whatever has
// gathered every `intervalMs`, and the end of the run at once. A run over many
// small files thus wakes the receiving thread a few times instead of once per
// line and per file. Order, texts and values are the optimizer's own.
// Created as a child of the optimizer, so that it outlives the optimizer's job.
class OptimizerRelay : public QObject
{
    Q_OBJECT

public:
    explicit OptimizerRelay(Optimizer* optimizer);

    static constexpr int intervalMs = 40;

signals:
    void logLine(const QString& text, bool bold);
    void progressRangeChanged(int maximumKb);
    void progressChanged(int valueKb);
    void finished(bool cancelled, bool fatalError);

private:
    enum class Kind { Line, Range, Progress, Finished };
    struct Event
    {
        Kind kind;
        QString text;
        int value = 0;
        bool first = false;
        bool second = false;
    };

    void add(Event event); // on the optimizer's thread
    void deliver(); // on this object's thread

    QMutex mutex;
    std::vector<Event> pending; // guarded by mutex
    bool ticking = false; // guarded by mutex: a delivery is due or the timer runs
    QTimer* timer = nullptr;
};
