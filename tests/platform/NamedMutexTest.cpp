// The per-user named lock.
#include "PeerProcess.h"
#include "platform/NamedMutex.h"

#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

using namespace kelpa::platform;

TEST(NamedMutex, SecondHolderSeesTheFirstUntilItLetsGo)
{
    NamedMutex first(QStringLiteral("VOKAT_KPSPELLCHECKER"));
    ASSERT_TRUE(first.owned());
    EXPECT_FALSE(first.alreadyExists());
    {
        NamedMutex second(QStringLiteral("VOKAT_KPSPELLCHECKER"));
        EXPECT_FALSE(second.owned());
        EXPECT_TRUE(second.alreadyExists());
        NamedMutex other(QStringLiteral("another/name"));
        EXPECT_TRUE(other.owned());
    }
    first.release();
    NamedMutex third(QStringLiteral("VOKAT_KPSPELLCHECKER"));
    EXPECT_TRUE(third.owned());
}

TEST(NamedMutex, AKilledHolderReleasesIt)
{
    QProcess holder;
    kelpa::test::startPeer(holder, {QStringLiteral("mutex"), QStringLiteral("VOKAT_KPSPELLCHECKER")});
    ASSERT_EQ(kelpa::test::firstLine(holder), "held");
    {
        NamedMutex busy(QStringLiteral("VOKAT_KPSPELLCHECKER"));
        EXPECT_TRUE(busy.alreadyExists());
    }
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished(5000));
    NamedMutex after(QStringLiteral("VOKAT_KPSPELLCHECKER"));
    EXPECT_TRUE(after.owned());

    // And the other way round: while we hold it, a second process is turned away.
    QProcess second;
    kelpa::test::startPeer(second, {QStringLiteral("mutex"), QStringLiteral("VOKAT_KPSPELLCHECKER")});
    EXPECT_EQ(kelpa::test::firstLine(second), "busy");
    second.waitForFinished(5000);
}

TEST(NamedMutex, AWaiterGetsItWhenTheHolderLetsGoOrGivesUp)
{
    auto first = std::make_unique<NamedMutex>(QStringLiteral("Kelpa start"));
    ASSERT_TRUE(first->owned());
    {
        NamedMutex impatient(QStringLiteral("Kelpa start"), 100);
        EXPECT_FALSE(impatient.owned());
        EXPECT_TRUE(impatient.alreadyExists());
    }
    std::thread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        first.reset();
    });
    NamedMutex waiter(QStringLiteral("Kelpa start"), 10000);
    letGo.join();
    EXPECT_TRUE(waiter.owned());
    EXPECT_FALSE(waiter.alreadyExists());
}
