#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs the statements of a server connection on a thread of their own while
// the caller waits for them with a limit: a server that stops answering
// (stopped, overloaded, a lock held for long) never holds the window beyond
// it. After `noticeMs` the caller is told that it is waiting (`notice(true)`,
// and `notice(false)` when the wait ends); after `limitMs` it gives up. A
// step given up on keeps running on its thread until the server answers; a
// step that writes asks `mayCommit()` before it confirms its transaction, and
// after the caller gave up it is told no and undoes its work instead.
//
// One step at a time: while a step given up on still has no answer, the next
// ones are not started (the server is not answering) and give up at once.
class ServerCall
{
public:
    ServerCall();
    // Waits for a step still running (the connection it uses must not go
    // away under it).
    ~ServerCall();
    ServerCall(const ServerCall&) = delete;
    ServerCall& operator=(const ServerCall&) = delete;

    enum class Outcome {
        Done,          // the step ended (its exception, if any, is rethrown)
        GaveUp,        // the step did not end in time; it will write nothing
        GaveUpUnknown, // it did not end in time while confirming its work
        StillBusy,     // the step of an earlier call still runs: not started
    };
    struct Limits {
        int noticeMs = 1000;
        int limitMs = 10000;
    };

    // The step is called on the call thread with a function that answers
    // whether it may still confirm (commit) what it did.
    using Step = std::function<void(const std::function<bool()>& mayCommit)>;
    Outcome run(Step step, const Limits& limits, const std::function<void(bool)>& notice);

    // True while a step runs (only ever seen after its caller gave up).
    bool busy() const;
    // Waits for a running step without limit (before the connection closes).
    void wait();

private:
    struct Job;
    void loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::shared_ptr<Job> m_job; // the step given to the thread, until it ends
    bool m_stop = false;
    std::thread m_thread;
};
