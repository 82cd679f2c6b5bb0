#pragma once

#include "wavetable/WaveResynthesis.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Computes waves off the caller's thread while a choice changes: the newest request wins (one
// asked while another runs waits and replaces any that waited before it). Each result goes to
// `done` on the worker's thread, with the number of its request. Stopped and joined when it is
// destroyed.
class ResynthesisWorker {
public:
    using Compute = std::function<WaveResynthesis::Result(const WaveResynthesis::Options&)>;
    using Done = std::function<void(int request, WaveResynthesis::Result result)>;

    ResynthesisWorker(Compute compute, Done done);
    ~ResynthesisWorker();
    ResynthesisWorker(const ResynthesisWorker&) = delete;
    ResynthesisWorker& operator=(const ResynthesisWorker&) = delete;

    // Answers the request's number.
    int request(const WaveResynthesis::Options& options);

private:
    void run();

    Compute compute_;
    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<WaveResynthesis::Options> pending_;
    int requests_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
