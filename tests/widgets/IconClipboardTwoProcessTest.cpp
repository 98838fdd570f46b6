// Icons through the clipboard between two processes, under a real X server.
#include "IconBuilder.h"
#include "common/TempDir.h"
#include "platform/PeerProcess.h"
#include "widgets/Clipicon.h"

#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace kelpa::widgets;

namespace {

QByteArray SampleIcon()
{
    kelpa::test::IconPlan big;
    big.width = big.height = 48;
    big.bitCount = 8;
    big.colorCount = 0;
    big.colour = [](int x, int y) { return std::uint32_t((x + y) % 256); };
    big.transparent = [](int x, int) { return x > 40; };
    kelpa::test::IconPlan small;
    const std::vector<std::uint8_t> bytes = kelpa::test::IconFileBytes({small, big});
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

bool HasIcon()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(QString::fromLatin1(kIconClipboardFormat));
}

} // namespace

TEST(IconClipboardTwoProcesses, IconCopiedByAnotherProgramIsPastedHere)
{
    kelpa::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("sample.ico"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SampleIcon());
    f.close();

    QProcess peer;
    kelpa::test::startPeer(peer, {QStringLiteral("copy"), file});
    ASSERT_EQ(kelpa::test::firstLine(peer), "held");
    ASSERT_TRUE(kelpa::test::waitUntil(HasIcon));
    const std::unique_ptr<TIcon> icon = CreateIconFromClipboard();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->SaveToData(), SampleIcon());
    // Other programs get the real-size icon drawn on the background colour.
    const QImage image = QGuiApplication::clipboard()->image();
    EXPECT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(QColor(image.pixel(47, 0)), QColor(Qt::white));
    peer.write("done\n");
    EXPECT_TRUE(peer.waitForFinished(10000));
}

TEST(IconClipboardTwoProcesses, IconCopiedHereIsPastedByAnotherProgram)
{
    kelpa::test::TempDir dir;
    const QString out = QString::fromStdString(dir.file("pasted.ico"));
    TIcon icon;
    ASSERT_TRUE(icon.LoadFromData(SampleIcon()));
    CopyIconToClipboard(icon, Qt::white);

    QProcess peer;
    kelpa::test::startPeer(peer, {QStringLiteral("paste"), out});
    // We own the clipboard: the event loop answers the peer's requests.
    ASSERT_TRUE(kelpa::test::waitUntil([&] { return peer.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(peer.exitCode(), 0);
    EXPECT_EQ(peer.readLine().trimmed(),
              QByteArray("pasted ") + QByteArray::number(SampleIcon().size()) + " 48x48");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), SampleIcon());
}

TEST(IconClipboardTwoProcesses, NothingToPasteWhenTheClipboardHoldsText)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("just text"));
    kelpa::test::TempDir dir;
    QProcess peer;
    kelpa::test::startPeer(peer, {QStringLiteral("paste"), QString::fromStdString(dir.file("x"))});
    ASSERT_TRUE(kelpa::test::waitUntil([&] { return peer.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(peer.readLine().trimmed(), "none");
}
