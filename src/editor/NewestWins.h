#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

// Work done off the caller's thread where only the newest request matters (a choice that keeps
// changing, a list the user moves through): a request made while another runs waits and
// replaces any that waited before it. Each result goes to `done` on the worker's thread with the
// number of its request. The worker is stopped and joined when this is destroyed (a request
// already running finishes first).
template <typename Request, typename Result> class NewestWins {
public:
    using Work = std::function<Result(const Request&)>;
    using Done = std::function<void(int request, Result result)>;

    NewestWins(Work work, Done done) : work_(std::move(work)), done_(std::move(done)) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // Without a thread, requests are worked where they are made.
        }
    }
    ~NewestWins() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    NewestWins(const NewestWins&) = delete;
    NewestWins& operator=(const NewestWins&) = delete;

    // Answers the request's number.
    int request(const Request& request) {
        int number = 0;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            number = ++requests_;
            pending_ = request;
        }
        if (!thread_.joinable()) {
            pending_.reset();
            done_(number, work_(request));
            return number;
        }
        wake_.notify_one();
        return number;
    }

private:
    void run() {
        for (;;) {
            Request request;
            int number = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
                if (stopping_) {
                    return;
                }
                request = *pending_;
                pending_.reset();
                number = requests_;
            }
            done_(number, work_(request));
        }
    }

    Work work_;
    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Request> pending_;
    int requests_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
