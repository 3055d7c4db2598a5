#include "app/SignalNotifier.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The handler only writes the signal's number here: nothing else is safe
// in a signal handler.
int writeEnd = -1;
int readEnd = -1;

void OnSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &number, 1);
    errno = saved;
}

} // namespace

SignalNotifier::SignalNotifier(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    int fds[2];
    if (writeEnd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    readEnd = fds[0];
    writeEnd = fds[1];
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
}

SignalNotifier::~SignalNotifier()
{
    if (!notifier_)
        return;
    struct sigaction action{};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete notifier_;
    ::close(readEnd);
    ::close(writeEnd);
    readEnd = writeEnd = -1;
}

void SignalNotifier::Drain()
{
    unsigned char numbers[64];
    for (;;) {
        const ssize_t n = ::read(readEnd, numbers, sizeof numbers);
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            onSignal_(numbers[i]);
    }
}
