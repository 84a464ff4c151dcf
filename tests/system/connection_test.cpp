// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting through the port table, disconnecting, and a search that finds nothing.

#include <QAction>

#include "app/language.h"
#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

constexpr int kFoundMessage = 14;
constexpr int kNotFoundMessage = 15;
constexpr int kConnectHint = 21;
constexpr int kDisconnectHint = 22;
constexpr int kPortNumbers = 256;

const Bytes kProbe = Frame(frame::kProbe);

// Port 0 names no device, ports 1 and 2 open but stay silent: the search reaches the
// microscope as port 3.
class ConnectionTest : public SystemTest {
  protected:
    std::vector<std::string> SilentTable() {
        silentPorts.push_back(std::make_unique<SilentPort>());
        silentPorts.push_back(std::make_unique<SilentPort>());
        return {StartFolder().toStdString() + "/no-such-device", silentPorts[0]->Path(),
                silentPorts[1]->Path()};
    }
};

TEST_F(ConnectionTest, FindsTheMicroscopeAsTheFourthPortAndDisconnects) {
    StartMicroscope();
    std::vector<std::string> table = SilentTable();
    table.push_back(microscope->SlavePath());
    StartProgram(table);
    ASSERT_TRUE(DisconnectedSet());

    int progressAtBox = -1;
    bool linkStartBeforeBoxClosed = true;
    dialogs.onBox = [&](const BoxRequest& box) {
        if (box.text == form->Message(kFoundMessage)) {
            progressAtBox = Progress()->value();
            linkStartBeforeBoxClosed = FindFrame(Frame(frame::kLinkStart)).has_value();
        }
    };
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    ASSERT_TRUE(WaitForFrame(Frame(frame::kLinkStart)));

    // Each silent port got one probe and was let go again.
    for (const auto& port : silentPorts) {
        EXPECT_EQ(Hex(port->Received()), Hex(kProbe));
        EXPECT_FALSE(port->HeldByProgram());
    }
    EXPECT_EQ(FramesFrom(0), (std::vector<std::string>{"F8 31 00 00", "F8 11 00 00"}));
    EXPECT_EQ(observed->ProgressValues(), (std::vector<int>{0, 0, 1, 1, 0}));
    EXPECT_EQ(progressAtBox, 1);
    EXPECT_FALSE(linkStartBeforeBoxClosed) << "link start sent before the box was closed";
    ASSERT_EQ(BoxesWithMessage(kFoundMessage), 1);
    EXPECT_EQ(dialogs.boxes.back().icon, BoxIcon::Information);
    EXPECT_EQ(Progress()->value(), 0);

    QToolButton* connect = Button("ConnectBtn");
    EXPECT_TRUE(form->Connected());
    EXPECT_TRUE(ShowsGlyph(connect, QStringLiteral("Disconnect.bmp")));
    EXPECT_FALSE(ShowsGlyph(connect, QStringLiteral("Connect.bmp")));
    EXPECT_EQ(connect->toolTip(), form->Message(kDisconnectHint));
    EXPECT_TRUE(session->Port().IsOpen());

    const std::size_t before = FrameCount();
    Click("ConnectBtn");
    EXPECT_TRUE(WaitForFrame(Frame(frame::kDisconnect), before));
    EXPECT_FALSE(session->Port().IsOpen());
    EXPECT_TRUE(DisconnectedSet());
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(ShowsGlyph(connect, QStringLiteral("Connect.bmp")));
    EXPECT_EQ(connect->toolTip(), form->Message(kConnectHint));
    EXPECT_EQ(FramesFrom(before), (std::vector<std::string>{"F8 12 00 00"}));
}

TEST_F(ConnectionTest, ALanguagePickedWhileConnectedKeepsTheDisconnectGlyph) {
    StartConnected();
    const QString englishHint = form->Message(kDisconnectHint);
    Find<QAction>(*form, "JapanMenu")->trigger();
    ASSERT_EQ(form->CurrentLanguage(), kJapanese);
    QToolButton* connect = Button("ConnectBtn");
    EXPECT_EQ(connect->toolTip(), form->Message(kDisconnectHint));
    EXPECT_NE(connect->toolTip(), englishHint);
    EXPECT_TRUE(ShowsGlyph(connect, QStringLiteral("Disconnect.bmp")));
    EXPECT_TRUE(ReadySet());
}

TEST_F(ConnectionTest, ConnectsAgainAfterADisconnect) {
    StartConnected();
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return DisconnectedSet(); }));
    const std::size_t before = FrameCount();
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(FramesFrom(before), (std::vector<std::string>{"F8 31 00 00", "F8 11 00 00"}));
    EXPECT_EQ(BoxesWithMessage(kFoundMessage), 2);
}

TEST_F(ConnectionTest, ASearchWithoutMicroscopeReportsMessage15AndChangesNoButton) {
    StartProgram(SilentTable());
    Button("LockBtn")->setEnabled(true);  // a state of its own that the search must keep
    Click("ConnectBtn");
    const QString notFound = form->Message(kNotFoundMessage);
    ASSERT_TRUE(WaitUntil([&] { return !dialogs.boxes.empty(); }));

    EXPECT_EQ(dialogs.boxes.back().icon, BoxIcon::Error);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    // Message 15, then a line for each port that opened and stayed silent.
    const QString text = dialogs.boxes.back().text;
    EXPECT_TRUE(text.startsWith(notFound + QStringLiteral("\n"))) << text.toStdString();
    for (const auto& port : silentPorts) {
        EXPECT_TRUE(text.contains(
            form->Message(message::kPortSilent).arg(QString::fromStdString(port->Path()))))
            << text.toStdString();
    }
    // One value per port, then 0 once the box was closed.
    ASSERT_TRUE(WaitUntil([&] {
        return observed->ProgressValues().size() == static_cast<std::size_t>(kPortNumbers) + 1;
    }));
    const std::vector<int> progress = observed->ProgressValues();
    for (int n = 0; n < kPortNumbers; ++n) {
        EXPECT_EQ(progress[n], n / 2) << "port " << n;
    }
    EXPECT_EQ(progress.back(), 0);
    for (const auto& port : silentPorts) {
        EXPECT_EQ(Hex(port->Received()), Hex(kProbe));
        EXPECT_FALSE(port->HeldByProgram());
    }
    EXPECT_FALSE(session->Port().IsOpen());
    EXPECT_FALSE(form->Connected());
    EXPECT_TRUE(Button("ConnectBtn")->isEnabled());
    EXPECT_TRUE(Button("LockBtn")->isEnabled());
    EXPECT_FALSE(Button("DownloadBtn")->isEnabled());
    EXPECT_TRUE(ShowsGlyph(Button("ConnectBtn"), QStringLiteral("Connect.bmp")));
}

}  // namespace
}  // namespace dm::test
