#include <gtest/gtest.h>

#include <SDL_keycode.h>

#include "platform/messages.h"
#include "platform/virtual_keys.h"

namespace {

using platform::Message;

TEST(VirtualKeys, LettersDigitsAndTheExitKeys) {
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_ESCAPE), 27u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_SPACE), 32u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_a), static_cast<unsigned>('A'));
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_z), static_cast<unsigned>('Z'));
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_0), static_cast<unsigned>('0'));
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_9), static_cast<unsigned>('9'));
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_F4), 0x73u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_RETURN), 13u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_LEFT), 0x25u);
}

TEST(VirtualKeys, EveryCodeFitsTheKeyTableOrIsDropped) {
    for (std::int32_t key = 0; key < 0x400; ++key) EXPECT_LT(platform::VirtualKeyFromKeycode(key), 256u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(SDLK_AUDIOPLAY), 0u);
    EXPECT_EQ(platform::VirtualKeyFromKeycode(-5), 0u);
}

TEST(MessageQueue, PostedQuitComesBackThroughTheQueueOnce) {
    platform::ClearMessageQueue();
    Message message;
    EXPECT_FALSE(platform::PeekMessage(&message));
    platform::PostQuitMessage(7);
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_EQ(message.message, 18u);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(platform::PeekMessage(&message));
}

platform::LRESULT Recorder(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
    return static_cast<platform::LRESULT>(message * 1000 + wParam) + lParam;
}

TEST(MessageQueue, DispatchReachesTheRegisteredProcedure) {
    platform::SetWindowProcedure(nullptr);
    EXPECT_EQ(platform::DispatchMessage(Message{platform::WM_KEYDOWN, 27, 0}), 0);
    platform::SetWindowProcedure(Recorder);
    EXPECT_EQ(platform::DispatchMessage(Message{platform::WM_KEYDOWN, 27, 3}), 256 * 1000 + 27 + 3);
    platform::SetWindowProcedure(nullptr);
}

TEST(MessageQueue, ParameterPacking) {
    EXPECT_EQ(platform::MakeLParam(640, 480), (480 << 16) | 640);
    EXPECT_EQ(platform::LowWord(static_cast<std::uintptr_t>(platform::MakeLParam(640, 0))), 640);
    EXPECT_EQ(platform::HighWord(static_cast<std::uintptr_t>(platform::MakeLParam(640, 0))), 0);
    EXPECT_EQ(platform::HighWord(platform::WA_INACTIVE | (1u << 16)), 1);
}

}  // namespace
