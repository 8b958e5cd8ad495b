#include <gtest/gtest.h>

#include <filesystem>

#include "SandboxTestSupport.h"
#include "platform/compat/Bookmark.h"

namespace tavlin::bookmark {
namespace {

class BookmarkDataTest : public test::SandboxTest {};

TEST_F(BookmarkDataTest, ResolvesToTheItemWithAScopeOnlyWhenBothSidesAskForOne) {
    auto file = makeFile("a.txt");
    auto resolved = resolve(create(file, creationWithSecurityScope), resolutionWithoutUI | resolutionWithSecurityScope);
    EXPECT_EQ(resolved.url, file);
    EXPECT_FALSE(resolved.isStale);
    EXPECT_EQ(resolved.url.securityScope(), file.path());
    EXPECT_TRUE(resolve(create(file, creationSecurityScopeAllowOnlyReadAccess), resolutionWithSecurityScope).url.securityScope());
    EXPECT_FALSE(resolve(create(file, creationNone), resolutionWithSecurityScope).url.securityScope());
    EXPECT_FALSE(resolve(create(file, creationWithSecurityScope), resolutionNone).url.securityScope());
    EXPECT_TRUE(resolve(create(makeFolder("f"), creationNone), resolutionNone).url.hasDirectoryPath());
}

TEST_F(BookmarkDataTest, ReplacedItemIsStaleAndMissingItemFails) {
    auto file = makeFile("a.txt");
    auto data = create(file, creationWithSecurityScope);
    replaceFile("a.txt");
    EXPECT_TRUE(resolve(data, resolutionNone).isStale);

    std::filesystem::remove(root_ / "a.txt");
    try {
        resolve(data, resolutionNone);
        ADD_FAILURE() << "resolved a missing item";
    } catch (const BookmarkError& error) {
        EXPECT_EQ(error.kind(), BookmarkError::Kind::fileNotFound);
    }
    EXPECT_THROW(create(file, creationNone), BookmarkError);
}

TEST_F(BookmarkDataTest, GarbageFailsCleanly) {
    auto valid = create(makeFile("a.txt"), creationWithSecurityScope);
    for (std::size_t length = 0; length < valid.size(); ++length) {
        EXPECT_THROW(resolve(Data(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length)), resolutionNone),
                     BookmarkError)
            << "truncated to " << length;
    }
    auto changed = [&](std::size_t at, std::uint8_t value) {
        Data data = valid;
        data[at] = value;
        return data;
    };
    try {
        resolve(changed(4, 2), resolutionNone); // a later version
        ADD_FAILURE();
    } catch (const BookmarkError& error) {
        EXPECT_EQ(error.kind(), BookmarkError::Kind::corrupt);
    }
    EXPECT_THROW(resolve(changed(30, 'x'), resolutionNone), BookmarkError) << "a relative path";
    Data longer = valid;
    longer.push_back('x');
    EXPECT_THROW(resolve(longer, resolutionNone), BookmarkError);
}

} // namespace
} // namespace tavlin::bookmark
