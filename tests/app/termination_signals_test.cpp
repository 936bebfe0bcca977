#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>
#include <csignal>

namespace {

bool HandledByDefault(int signal)
{
    struct sigaction current = {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

TEST(TerminationSignals, EachSignalBecomesOneRequestOnTheEventLoopAndTheDefaultsComeBack)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        int received = 0;
        {
            TerminationSignals termination;
            QObject::connect(&termination, &TerminationSignals::received, [&received] { ++received; });
            EXPECT_FALSE(termination.Requested());
            // Twice before the loop runs: the requests wait and are handled together.
            ASSERT_EQ(::raise(signal), 0);
            ASSERT_EQ(::raise(signal), 0);
            EXPECT_EQ(received, 0);
            const QDeadlineTimer deadline(5000);
            while (received == 0 && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            EXPECT_EQ(received, 1) << signal;
            EXPECT_TRUE(termination.Requested());
        }
        EXPECT_TRUE(HandledByDefault(signal)) << signal;
    }
}

}  // namespace
