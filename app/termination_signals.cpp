#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is read on the user-interface thread, [1] written by the handler.
int signalPair[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: when the pair is full a request is already waiting.
    [[maybe_unused]] const ssize_t written = ::write(signalPair[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPair) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Drain);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (notifier_ == nullptr)
        return;
    for (int signal : kSignals)
        ::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

void TerminationSignals::Drain()
{
    char bytes[16];
    while (::read(signalPair[0], bytes, sizeof bytes) > 0) {
    }
    requested_ = true;
    emit received();
}
