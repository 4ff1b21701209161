#include "StatusWord.h"

#include <gtest/gtest.h>

using namespace varnello;

TEST(StatusWord, SuccessIsBelow0x0100WithOrWithoutWarnings)
{
    EXPECT_TRUE(status::IsSuccess(0x0000));
    EXPECT_TRUE(status::IsSuccess(0x0010));
    EXPECT_TRUE(status::IsSuccess(0x0084));
    EXPECT_FALSE(status::IsSuccess(0x0100));
    EXPECT_FALSE(status::IsSuccess(0xFE00));
    EXPECT_EQ(status::WithError(0x0084, status::kBadTag), 0xFE84) << "warnings are kept";
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
