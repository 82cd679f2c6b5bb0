#include "app/ResynthesisWorker.h"

#include <system_error>

ResynthesisWorker::ResynthesisWorker(Compute compute, Done done)
    : compute_(std::move(compute)), done_(std::move(done)) {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without a thread, requests are computed where they are made.
    }
}

ResynthesisWorker::~ResynthesisWorker() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

int ResynthesisWorker::request(const WaveResynthesis::Options& options) {
    int number = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        number = ++requests_;
        pending_ = options;
    }
    if (!thread_.joinable()) {
        pending_.reset();
        done_(number, compute_(options));
        return number;
    }
    wake_.notify_one();
    return number;
}

void ResynthesisWorker::run() {
    for (;;) {
        WaveResynthesis::Options options;
        int number = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
            if (stopping_) {
                return;
            }
            options = *pending_;
            pending_.reset();
            number = requests_;
        }
        done_(number, compute_(options));
    }
}
