// SPDX-License-Identifier: GPL-3.0-or-later
// The microscope's keys on the keyboard: each sends the frame of its button, and nothing
// while its button is disabled.
#include <QTest>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

struct KeyAndButton {
    int key;
    int microscopeKey;  // 1..8, the frame F8 40+n
};

constexpr KeyAndButton kPadKeys[] = {
    {Qt::Key_Up, 1},   {Qt::Key_Left, 2},  {Qt::Key_Home, 3}, {Qt::Key_Right, 4},
    {Qt::Key_Down, 5}, {Qt::Key_Minus, 6}, {Qt::Key_L, 7},    {Qt::Key_Plus, 8},
};

Bytes KeyFrame(int microscopeKey) {
    return Frame(static_cast<uint8_t>(frame::kKeyBase + microscopeKey));
}

class KeyboardTest : public SystemTest {
  protected:
    void Activate() {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void Press(int key) { QTest::keyClick(form.get(), static_cast<Qt::Key>(key)); }
};

TEST_F(KeyboardTest, EachKeySendsTheFrameOfItsButtonOnce) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    ASSERT_NO_FATAL_FAILURE(Activate());
    for (const KeyAndButton& key : kPadKeys) {
        const std::size_t from = FrameCount();
        Press(key.key);
        ASSERT_TRUE(WaitForFrame(KeyFrame(key.microscopeKey), from)) << "key " << key.key;
        ASSERT_TRUE(WaitUntil([&] { return session->CommandsIdle(); }));
        EXPECT_EQ(FramesFrom(from), std::vector<std::string>{Hex(KeyFrame(key.microscopeKey))});
    }
    // The hints name the keys.
    EXPECT_EQ(Button("UpBtn")->toolTip(),
              form->Message(message::kUpHint).arg(QStringLiteral("\u2191")));
    EXPECT_EQ(Button("SnapShotBtn")->toolTip(),
              form->Message(message::kSnapshotHint).arg(QStringLiteral("F5")));

    // Space presses the centre key where the picture has the focus.
    const std::size_t from = FrameCount();
    QTest::mouseClick(form->Panel1(), Qt::LeftButton);
    QTest::keyClick(form->Panel1(), Qt::Key_Space);
    EXPECT_TRUE(WaitForFrame(KeyFrame(3), from));
}

TEST_F(KeyboardTest, KeysOfDisabledButtonsSendNothing) {
    StartMicroscope();
    ASSERT_NO_FATAL_FAILURE(StartProgram({microscope->SlavePath()}));
    ASSERT_NO_FATAL_FAILURE(Activate());
    for (const KeyAndButton& key : kPadKeys) {
        Press(key.key);
    }
    Press(Qt::Key_F5);
    KeepRunning();
    EXPECT_EQ(FrameCount(), 0U) << "not connected: every pad button is disabled";

    ASSERT_NO_FATAL_FAILURE(Connect());
    Press(Qt::Key_F5);
    KeepRunning();
    EXPECT_FALSE(FindFrame(Frame(frame::kGetSnapshot, 1)).has_value())
        << "Snapshot is disabled while the camera is off";

    Click("CameraBtn");
    ASSERT_TRUE(
        WaitUntil([&] { return microscope->IsStreaming() && !Button("UpBtn")->isEnabled(); }));
    const std::size_t from = FrameCount();
    Press(Qt::Key_Up);  // disabled while the camera streams
    KeepRunning();
    EXPECT_FALSE(FindFrame(KeyFrame(1), from).has_value());
    Press(Qt::Key_F5);
    EXPECT_TRUE(WaitForFrame(Frame(frame::kCameraOff), from)) << "F5 took a snapshot";
}

}  // namespace
}  // namespace dm::test
