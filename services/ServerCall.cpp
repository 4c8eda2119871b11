#include "ServerCall.h"

#include <chrono>

namespace
{

using Clock = std::chrono::steady_clock;

enum State : int { Running, Confirming, Abandoned };

} // namespace

struct ServerCall::Job {
    Step step;
    std::atomic<int> state{Running};
    bool started = false;
    bool finished = false;
    std::exception_ptr error;
};

ServerCall::ServerCall() : m_thread([this] { loop(); }) {}

ServerCall::~ServerCall()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ServerCall::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || (m_job && !m_job->started); });
        if (!m_job || m_job->started) return; // stopping with nothing to do
        std::shared_ptr<Job> job = m_job;
        job->started = true;
        lock.unlock();
        const std::function<bool()> mayCommit = [job] {
            int expected = Running;
            return job->state.compare_exchange_strong(expected, Confirming);
        };
        try {
            job->step(mayCommit);
        } catch (...) {
            job->error = std::current_exception();
        }
        job->step = nullptr; // what it holds goes here, on this thread
        lock.lock();
        job->finished = true;
        m_done.notify_all();
    }
}

bool ServerCall::busy() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_job && !m_job->finished;
}

void ServerCall::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return !m_job || m_job->finished; });
}

ServerCall::Outcome ServerCall::run(Step step, const Limits& limits,
                                    const std::function<void(bool)>& notice)
{
    const Clock::time_point start = Clock::now();
    const Clock::time_point noticeAt = start + std::chrono::milliseconds(limits.noticeMs);
    const Clock::time_point deadline = start + std::chrono::milliseconds(limits.limitMs);
    bool told = false;
    auto tell = [&](bool on) {
        if (told == on || !notice) return;
        told = on;
        notice(on);
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    // Waits until `done` or the deadline, telling the caller at the notice
    // time; answers whether `done` came.
    auto waitFor = [&](const auto& done) {
        while (!done()) {
            const bool beforeNotice = !told && Clock::now() < noticeAt;
            const Clock::time_point until = beforeNotice ? noticeAt : deadline;
            if (m_done.wait_until(lock, until, done)) return true;
            if (Clock::now() >= deadline) return false;
            lock.unlock();
            tell(true);
            lock.lock();
        }
        return true;
    };
    // A step given up on earlier still has no answer: the server is not
    // answering, and this call does not wait for it again.
    if (m_job && !m_job->finished) return Outcome::StillBusy;
    auto job = std::make_shared<Job>();
    job->step = std::move(step);
    m_job = job;
    m_wake.notify_all();
    const bool done = waitFor([&] { return job->finished; });
    if (done) {
        m_job.reset();
        lock.unlock();
        tell(false);
        if (job->error) std::rethrow_exception(job->error);
        return Outcome::Done;
    }
    int expected = Running;
    const bool clean = job->state.compare_exchange_strong(expected, Abandoned);
    lock.unlock();
    tell(false);
    return clean ? Outcome::GaveUp : Outcome::GaveUpUnknown;
}
