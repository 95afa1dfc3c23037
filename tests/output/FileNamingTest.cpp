#include "output/FileNaming.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// A folder of files by name, with the platform's move semantics: the move
// fails when the source is missing or the target exists.
struct FakeFolder {
    std::map<std::string, std::string> files;

    MoveFileOp Mover() {
        return [this](const std::string& from, const std::string& to) -> std::string {
            if (!files.count(from))
                return "The system cannot find the file specified.";
            if (files.count(to))
                return "Cannot create a file when that file already exists.";
            files[to] = files[from];
            files.erase(from);
            return {};
        };
    }
    // One store of a session: the naming step, then the write.
    NamingResult Store(CFileNamer& namer, const std::string& content) {
        NamingResult r = namer.Next(Mover());
        files[r.target] = content;
        return r;
    }
};

std::string Numbered(const std::string& entered, long long k) {
    return NumberedName(SplitFileName(entered), k);
}

TEST(FileNaming, SplitsDirectoryBaseAndExtension) {
    SplitName s = SplitFileName("C:\\shots\\test.bmp");
    EXPECT_EQ(s.fileName, "C:\\shots\\test.bmp");
    EXPECT_EQ(s.directory, "C:\\shots");
    EXPECT_EQ(s.baseName, "test");
    EXPECT_EQ(s.extension, ".bmp");
}

TEST(FileNaming, NumberedNamesFollowTheEnteredShape) {
    EXPECT_EQ(Numbered("C:\\shots\\test.bmp", 1), "C:\\shots\\test0001.bmp");
    EXPECT_EQ(Numbered("shot", 2), "shot0002");                          // no directory, no extension
    EXPECT_EQ(Numbered("a.b.jpg", 1), "a.b0001.jpg");                    // only the last dot counts
    EXPECT_EQ(Numbered("C:\\old.shots\\shot", 1), "C:\\old.shots\\shot0001"); // dot only in the directory
    EXPECT_EQ(Numbered("C:\\shots\\test.bmp", 9999), "C:\\shots\\test9999.bmp");
    EXPECT_EQ(Numbered("C:\\shots\\test.bmp", 10000), "C:\\shots\\test10000.bmp");
    EXPECT_EQ(Numbered("x.png", 123456), "x123456.png");
    EXPECT_EQ(Numbered("C:\\shot.", 3), "C:\\shot0003."); // a trailing dot is an (empty) extension
    EXPECT_EQ(Numbered("\\\\server\\share\\s.gif", 1), "\\\\server\\share\\s0001.gif");
}

TEST(FileNaming, TrailByteOfADoubleByteCharacterIsNoSeparator) {
    // Shift-JIS "ソ" is 0x83 0x5C: its trail byte is a backslash.
    const std::string entered = std::string("C:\\d\\") + "\x83\x5C" + "x.bmp";
    auto shiftJisLead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
    SplitName s = SplitFileName(entered, shiftJisLead);
    EXPECT_EQ(s.directory, "C:\\d");
    EXPECT_EQ(s.baseName, std::string("\x83\x5C") + "x");
    EXPECT_EQ(s.extension, ".bmp");
    // Without the code page's rule the trail byte would split the name.
    EXPECT_EQ(SplitFileName(entered).baseName, "x");
}

TEST(FileNaming, OneCaptureKeepsTheEnteredName) {
    FakeFolder folder;
    CFileNamer namer("C:\\shots\\test.bmp");
    EXPECT_EQ(folder.Store(namer, "1").target, "C:\\shots\\test.bmp");
    EXPECT_EQ(namer.StoredCount(), 1);
    EXPECT_EQ(folder.files.size(), 1u);
}

TEST(FileNaming, SecondCaptureRenamesTheFirstAndNumbersAll) {
    FakeFolder folder;
    CFileNamer namer("C:\\shots\\test.bmp");
    folder.Store(namer, "1");
    folder.Store(namer, "2");
    folder.Store(namer, "3");
    std::map<std::string, std::string> expected{
        {"C:\\shots\\test0001.bmp", "1"}, {"C:\\shots\\test0002.bmp", "2"}, {"C:\\shots\\test0003.bmp", "3"}};
    EXPECT_EQ(folder.files, expected);
}

TEST(FileNaming, FailedRenameKeepsTheCaptureAndOverwritesNothing) {
    FakeFolder folder;
    folder.files["C:\\shots\\test0001.bmp"] = "old session";
    CFileNamer namer("C:\\shots\\test.bmp");
    folder.Store(namer, "1");
    NamingResult second = folder.Store(namer, "2");
    EXPECT_FALSE(second.renameError.empty());
    EXPECT_EQ(second.renameFrom, "C:\\shots\\test.bmp");
    EXPECT_EQ(second.renameTo, "C:\\shots\\test0001.bmp");
    EXPECT_EQ(second.target, "C:\\shots\\test0002.bmp");
    NamingResult third = folder.Store(namer, "3");
    EXPECT_TRUE(third.renameError.empty()); // reported once, the session goes on
    EXPECT_EQ(third.target, "C:\\shots\\test0003.bmp");
    EXPECT_EQ(folder.files["C:\\shots\\test0001.bmp"], "old session");
    EXPECT_EQ(folder.files["C:\\shots\\test.bmp"], "1");
    EXPECT_EQ(folder.files["C:\\shots\\test0002.bmp"], "2");
    EXPECT_EQ(folder.files["C:\\shots\\test0003.bmp"], "3");
}

TEST(FileNaming, MissingFirstFileIsReportedAndNumberingGoesOn) {
    FakeFolder folder;
    CFileNamer namer("shot.png");
    NamingResult first = namer.Next(folder.Mover()); // its write failed: nothing on disk
    EXPECT_EQ(first.target, "shot.png");
    NamingResult second = folder.Store(namer, "2");
    EXPECT_FALSE(second.renameError.empty());
    EXPECT_EQ(second.target, "shot0002.png");
    EXPECT_EQ(namer.StoredCount(), 2);
}

} // namespace
