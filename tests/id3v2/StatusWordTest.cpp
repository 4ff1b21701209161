#include "StatusWord.h"

#include "TFrameIndex.h"
#include "TextResult.h"

#include <gtest/gtest.h>
#include <type_traits>

using namespace varnello;

// The engine's result families neither come from nor turn into bare numbers
// or one another by accident.
static_assert(!std::is_convertible_v<int, StatusWord>);
static_assert(!std::is_convertible_v<StatusWord, unsigned>);
static_assert(!std::is_convertible_v<TextResult, int>);
static_assert(!std::is_constructible_v<StatusWord, TextResult>);
static_assert(!std::is_convertible_v<FrameResult, int>);
static_assert(!std::is_convertible_v<FrameResult, TextResult>);

TEST(StatusWord, SuccessIsBelow0x0100WithOrWithoutWarnings)
{
    EXPECT_TRUE(status::IsSuccess(StatusWord{0x0000}));
    EXPECT_TRUE(status::IsSuccess(StatusWord{0x0010}));
    EXPECT_TRUE(status::IsSuccess(StatusWord{0x0084}));
    EXPECT_FALSE(status::IsSuccess(StatusWord{0x0100}));
    EXPECT_FALSE(status::IsSuccess(StatusWord{0xFE00}));
    EXPECT_EQ(status::WithError(StatusWord{0x0084}, status::kBadTag), StatusWord{0xFE84})
        << "warnings are kept";
}

TEST(StatusWord, MessagesEndExactlyAsTheLogShowsThem)
{
    EXPECT_EQ(StatusMessage(0), "OK");
    EXPECT_EQ(StatusMessage(1), "file couldn't be opened");
    EXPECT_EQ(StatusMessage(0x20), "Bad specified tag size ");
    EXPECT_EQ(StatusMessage(0xC0), "This library doesn't support: Encryption ");
    EXPECT_EQ(StatusMessage(0xFC), "General Errors: Tag is still in the process of loading   ");
    EXPECT_EQ(StatusMessage(0xFE), "General Errors: Bad ID3v2 tag ");
    EXPECT_EQ(StatusMessage(16), "Unknown error") << "no tag has no message of its own";
    EXPECT_EQ(StatusMessage(7), "Unknown error");
}
