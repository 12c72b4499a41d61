#include "Base64.h"
#include "ComputerName.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64, TheStandardVectorsEncodeAndDecodeBothWays)
{
    // RFC 4648, section 10, and bytes beyond ASCII.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\xfe", 3), "AP/+"},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(Base64::encode(bytes), text);
        EXPECT_EQ(Base64::decode(text), bytes) << text;
    }
}

TEST(Base64, TextThatIsNoBase64DecodesToNothing)
{
    for (const char* text : {"Zg", "Zg=", "Z===", "Zm9v\r\n", "Zm 9v", "Zg==Zg==", "=Zg=", "Zm9-", "Zm9_"})
        EXPECT_FALSE(Base64::decode(text)) << text;
}

TEST(ComputerName, ThisComputerHasAPrintableName)
{
    const std::string name = thisComputerName();
    EXPECT_FALSE(name.empty());
    for (const char c : name)
        EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << name;
}

} // namespace
