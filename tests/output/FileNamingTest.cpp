#include "output/FileNaming.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// A folder of files by name with the platform's move-if-free semantics.
struct FakeFolder {
    std::map<std::string, std::string> files;
    std::string unwritable; // a name whose write fails as on a full disk
    std::string pending;    // a name the system denies: a file pending deletion

    NamingFileOps Ops() {
        NamingFileOps ops;
        ops.moveNew = [this](const std::string& from, const std::string& to, std::string&) {
            if (!files.count(from))
                return FileOpStatus::Missing;
            if (files.count(to))
                return FileOpStatus::Exists;
            if (to == pending)
                return FileOpStatus::Refused;
            files[to] = files[from];
            files.erase(from);
            return FileOpStatus::Done;
        };
        return ops;
    }
    // One store of a session: the naming step, the write (to a temporary
    // for a numbered name), then the claim of the name.
    NamingResult Store(CFileNamer& namer, const std::string& content) {
        NamingResult r = namer.Next(Ops());
        bool written = r.target != unwritable;
        if (written && !r.numbered) {
            files[r.target] = content;
        } else if (written) {
            files["~tmp"] = content;
            std::string why;
            written = namer.Claim("~tmp", r, Ops(), why);
        }
        namer.Written(written);
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

    // A name pending deletion is passed over, not a lost capture.
    FakeFolder pending;
    pending.pending = "shot0002.png";
    CFileNamer again("shot.png");
    for (const char* content : {"1", "2", "3"})
        pending.Store(again, content);
    EXPECT_EQ(pending.files,
              (std::map<std::string, std::string>{{"shot0001.png", "1"}, {"shot0003.png", "2"}, {"shot0004.png", "3"}}));
}

TEST(FileNaming, AnUnwrittenFirstFileIsNotRenamedAndAFailedWriteUsesUpItsNumber) {
    FakeFolder folder;
    folder.files["shot.png"] = "older session"; // the first capture's write failed over it
    folder.unwritable = "shot0003.png";
    CFileNamer namer("shot.png");
    NamingResult first = namer.Next(folder.Ops());
    EXPECT_EQ(first.target, "shot.png");
    EXPECT_FALSE(first.numbered) << "the entered name is replaced on purpose, in one step";
    namer.Written(false);
    EXPECT_EQ(folder.Store(namer, "2").target, "shot0002.png");
    EXPECT_EQ(folder.Store(namer, "3").target, "shot0003.png");
    EXPECT_EQ(folder.Store(namer, "4").target, "shot0004.png") << "a failed number stays used up";
    std::map<std::string, std::string> expected{
        {"shot.png", "older session"}, {"shot0002.png", "2"}, {"shot0004.png", "4"}};
    EXPECT_EQ(folder.files, expected) << "an empty file or a temporary was left";
    EXPECT_EQ(namer.StoredCount(), 4);
}

TEST(FileNaming, SlashesSeparateFoldersAndUnkeepableNamesAreRefused) {
    SplitName s = SplitFileName("C:/shots/shot.png");
    EXPECT_EQ(s.directory, "C:/shots");
    EXPECT_EQ(s.baseName, "shot");
    EXPECT_EQ(Numbered("C:/shots/shot.png", 2), "C:/shots/shot0002.png");
    EXPECT_EQ(Numbered("C:\\a/b\\shot", 1), "C:\\a/b\\shot0001");
    for (const char* fine : {"shot.png", "C:/x/con.d/shot", "CONSOLE.png", "COM0", "my nul.png", "C:\\a.\\b"})
        EXPECT_EQ(FileNameProblem(fine), "") << fine;
    EXPECT_NE(FileNameProblem("shot.").find("cannot end with a dot or a space"), std::string::npos);
    EXPECT_NE(FileNameProblem("C:/x/shot.png ").find("cannot end with a dot or a space"), std::string::npos);
    for (const char* device : {"NUL", "nul.png", "C:\\shots\\Con", "COM1.bmp", "lpt9", "aux .gif", "D:/prn"})
        EXPECT_NE(FileNameProblem(device).find("names a device"), std::string::npos) << device;
    EXPECT_NE(FileNameProblem("C:/shots/").find("names a folder"), std::string::npos);
    // Superscript digits name devices too (Windows-1252 bytes by default),
    // and a colon past the drive a stream of another file.
    for (const char* device : {"COM\xB9.png", "lpt\xB3", "C:\\x\\com\xB2.gif"})
        EXPECT_NE(FileNameProblem(device).find("names a device"), std::string::npos) << device;
    EXPECT_EQ(FileNameProblem("COM\xB9.png", {}, [](unsigned char) { return false; }), "")
        << "a code page without superscripts";
    for (const char* stream : {"a.png:x", "C:\\shots\\a.png:x", "C:\\a:b\\shot.png"})
        EXPECT_NE(FileNameProblem(stream).find("colon"), std::string::npos) << stream;
    EXPECT_EQ(FileNameProblem("C:shot.png"), "") << "a drive's own colon";
}

} // namespace
