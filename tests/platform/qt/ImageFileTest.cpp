#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include <QtGui/QImage>

#include "platform/qt/ImageFile.h"
#include "support/QtTestApplication.h"
#include "support/TempHome.h"

namespace tavlin::qt {
namespace {

class ImageFileTest : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (home_.root() / name).string(); }

    QApplication& application_ = test::offscreenApplication();
    test::TempHome home_;
};

TEST_F(ImageFileTest, ReadsAnImageFromARegularFile) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString(file("icon.png")), "PNG"));
    const QImage read = readImageFile(file("icon.png"));
    EXPECT_EQ(read.size(), QSize(3, 2));

    std::filesystem::create_symlink(file("icon.png"), file("link.png"));
    EXPECT_FALSE(readImageFile(file("link.png")).isNull()) << "a link to a regular file is that file";
}

// None of these may block or grow without bound: each is refused at once.
TEST_F(ImageFileTest, RefusesWhatIsNotASmallRegularImageFile) {
    ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(file("fifo"), file("fifo.png"));
    std::ofstream(file("text.png")) << "not an image";
    std::ofstream(file("empty.png"));
    ASSERT_EQ(::truncate(file("empty.png").c_str(), maximumImageFileBytes + 1), 0);

    for (const std::string& path : {file("fifo"), file("fifo.png"), std::string("/dev/zero"), home_.root().string(),
                                    file("missing.png"), file("text.png"), file("empty.png")}) {
        EXPECT_TRUE(readImageFile(path).isNull()) << path;
    }
}

} // namespace
} // namespace tavlin::qt
