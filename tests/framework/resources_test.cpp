#include <gtest/gtest.h>

#include <string>

#include "framework/resources.h"

TEST(Resources, FoundByNumberAndTypeWithTheirExactBytes) {
    auto text = framework::loadResource(7, "TEXT");
    EXPECT_EQ(text->asText(), "first line\nsecond line\n");

    auto blob = framework::loadResource(8, "BLOB");
    ASSERT_EQ(blob->size(), 10u);
    EXPECT_EQ(blob->data()[0], 0x00);
    EXPECT_EQ(blob->data()[9], 0xff);
}

TEST(Resources, AViewOfTheProgramsOwnBytesNotACopy) {
    auto first = framework::loadResource(7, "TEXT");
    auto second = framework::loadResource(7, "TEXT");
    EXPECT_EQ(first->data(), second->data());
}

TEST(Resources, AMissingOneThrowsWithItsNumberAndType) {
    try {
        framework::loadResource(65, "FRAG");
        FAIL() << "no exception";
    } catch (const framework::ResourceLoadExc& e) {
        EXPECT_STREQ(e.what(), "Failed to load resource: #65 type: FRAG");
    }
    // The same number under another type is not the same resource.
    EXPECT_THROW(framework::loadResource(7, "FRAG"), framework::ResourceLoadExc);
    EXPECT_THROW(framework::loadResource(64, "IMAGE"), std::exception);
}
