#include "SignalShutdown.h"

#include "DataService.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

int g_pair[2] = {-1, -1}; // [0] written by the handler, [1] read by the loop
const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void passOn(int signal)
{
    const int saved = errno;
    const char c = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pair[0], &c, 1);
    errno = saved;
}

} // namespace

SignalShutdown::SignalShutdown(DataService& data) : m_data(data)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pair) != 0) return;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalShutdown::arrived);
    struct sigaction sa {
    };
    sa.sa_handler = passOn;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        sigaction(s, &sa, nullptr);
}

SignalShutdown::~SignalShutdown()
{
    if (!m_notifier) return;
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
}

void SignalShutdown::arrived()
{
    char c = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_pair[1], &c, 1);
    m_notifier->setEnabled(false);
    // Nothing more runs: not the rest of a handler waiting on a modal window,
    // not the write of the edit that is open.
    m_data.checkpoint();
    m_data.close();
    std::fflush(nullptr);
    ::_exit(0);
}
