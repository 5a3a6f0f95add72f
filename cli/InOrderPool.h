#pragma once
// Work on batches by several threads, results taken in the order the batches
// were made. The calling thread fills the batches and takes the results; the
// workers only run `work`. With one job everything runs on the caller's
// thread, one batch after the other.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

template <typename TBatch>
struct TInOrderSteps {
    // Fills the next batch; false when there is no more input.
    std::function<bool(TBatch&)> fill;
    // Does a batch's work on worker number `worker` (0 .. jobs-1).
    std::function<void(TBatch&, int worker)> work;
    // Takes a finished batch, in order; false stops the run early.
    std::function<bool(TBatch&)> take;
};

template <typename TBatch>
void RunInOrder(int jobs, const TInOrderSteps<TBatch>& steps)
{
    if (jobs <= 1) {
        TBatch batch;
        while (steps.fill(batch)) {
            steps.work(batch, 0);
            if (!steps.take(batch))
                return;
        }
        return;
    }

    struct TSlot {
        TBatch batch;
        bool done = false; // under the lock
    };
    // Two batches per worker and one more: a worker always finds one waiting
    // while the caller fills or takes another.
    std::vector<std::unique_ptr<TSlot>> ring;
    std::vector<TSlot*> idle;
    for (int i = 0; i < 2 * jobs + 1; ++i) {
        ring.push_back(std::make_unique<TSlot>());
        idle.push_back(ring.back().get());
    }

    std::mutex lock;
    std::condition_variable workReady;
    std::condition_variable slotDone;
    std::deque<TSlot*> toDo; // filled, not yet taken by a worker (under the lock)
    bool stopping = false;   // under the lock

    std::vector<std::thread> workers;
    for (int w = 0; w < jobs; ++w) {
        workers.emplace_back([&, w] {
            std::unique_lock<std::mutex> guard(lock);
            for (;;) {
                workReady.wait(guard, [&] { return stopping || !toDo.empty(); });
                if (toDo.empty())
                    return;
                TSlot* slot = toDo.front();
                toDo.pop_front();
                guard.unlock();
                steps.work(slot->batch, w);
                guard.lock();
                slot->done = true;
                slotDone.notify_all();
            }
        });
    }

    std::deque<TSlot*> inOrder; // filled, not yet taken by the caller
    bool more = true;
    for (bool go = true; go;) {
        while (more && !idle.empty()) {
            TSlot* slot = idle.back();
            if (!steps.fill(slot->batch)) {
                more = false;
                break;
            }
            idle.pop_back();
            inOrder.push_back(slot);
            std::lock_guard<std::mutex> guard(lock);
            slot->done = false;
            toDo.push_back(slot);
            workReady.notify_one();
        }
        if (inOrder.empty())
            break;
        TSlot* next = inOrder.front();
        inOrder.pop_front();
        {
            std::unique_lock<std::mutex> guard(lock);
            slotDone.wait(guard, [&] { return next->done; });
        }
        go = steps.take(next->batch);
        idle.push_back(next);
    }

    {
        // Batches not yet started are dropped when the run stops early.
        std::lock_guard<std::mutex> guard(lock);
        toDo.clear();
        stopping = true;
        workReady.notify_all();
    }
    for (std::thread& worker : workers)
        worker.join();
}
