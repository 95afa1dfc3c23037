#include "output/FileNaming.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// A folder of files by name with the platform's create-new semantics: a
// move or a creation fails when its target exists.
struct FakeFolder {
    std::map<std::string, std::string> files;
    std::string unwritable; // a name whose creation fails as on a full disk

    NamingFileOps Ops() {
        NamingFileOps ops;
        ops.moveNew = [this](const std::string& from, const std::string& to, std::string&) {
            if (!files.count(from))
                return FileOpStatus::Missing;
            if (files.count(to))
                return FileOpStatus::Exists;
            files[to] = files[from];
            files.erase(from);
            return FileOpStatus::Done;
        };
        ops.createNew = [this](const std::string& path, std::string& why) {
            if (files.count(path))
                return FileOpStatus::Exists;
            if (path == unwritable) {
                why = "There is not enough space on the disk.";
                return FileOpStatus::Failed;
            }
            files[path] = "";
            return FileOpStatus::Done;
        };
        return ops;
    }
    // One store of a session: the naming step, then the write.
    NamingResult Store(CFileNamer& namer, const std::string& content) {
        NamingResult r = namer.Next(Ops());
        if (r.reserveError.empty())
            files[r.target] = content;
        namer.Written(r.reserveError.empty());
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
    EXPECT_EQ(Numbered("shot", 2), "shot0002");                               // no directory, no extension
    EXPECT_EQ(Numbered("a.b.jpg", 1), "a.b0001.jpg");                         // only the last dot counts
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

TEST(FileNaming, AnUnwrittenFirstFileIsNotRenamedAndAFailedReservationSaysWhy) {
    FakeFolder folder;
    folder.files["shot.png"] = "older session"; // the first capture's write failed over it
    folder.unwritable = "shot0003.png";
    CFileNamer namer("shot.png");
    NamingResult first = namer.Next(folder.Ops());
    EXPECT_EQ(first.target, "shot.png");
    EXPECT_FALSE(first.reserved) << "the entered name is replaced on purpose, never reserved";
    namer.Written(false);
    NamingResult second = folder.Store(namer, "2");
    EXPECT_EQ(second.target, "shot0002.png");
    NamingResult third = folder.Store(namer, "3");
    EXPECT_EQ(third.target, "shot0003.png");
    EXPECT_FALSE(third.reserved);
    EXPECT_EQ(third.reserveError, "There is not enough space on the disk.");
    EXPECT_EQ(folder.Store(namer, "4").target, "shot0004.png") << "a failed number stays used up";
    std::map<std::string, std::string> expected{
        {"shot.png", "older session"}, {"shot0002.png", "2"}, {"shot0004.png", "4"}};
    EXPECT_EQ(folder.files, expected);
    EXPECT_EQ(namer.StoredCount(), 4);
}

} // namespace
