#pragma once

#include <functional>
#include <string>

// Names of the files a single-image output writes during one session. One
// capture keeps the entered name; from the second capture on the first file
// is renamed to name0001.ext and every capture gets its own number.
//
// Portable: the platform's file move and its double-byte lead-byte test are
// passed in, so the rules can be tested without Windows.

// Tells whether a byte starts a double-byte character in the active code page.
using LeadByteTest = std::function<bool(unsigned char)>;

struct SplitName {
    std::string fileName;  // the path exactly as entered
    std::string directory; // everything before the last backslash, without it
    std::string extension; // from the last dot of the file part on, dot included
    std::string baseName;  // the file part without its extension
};

// Splits an entered path. The backslash search steps over double-byte
// characters so a trail byte is never taken for a separator.
SplitName SplitFileName(const std::string& entered, const LeadByteTest& isLeadByte = {});

// "dir\base0007.ext": at least four digits, more when the number needs them.
std::string NumberedName(const SplitName& name, long long k);

// Moves a file without replacing an existing one; returns an error text on
// failure (empty on success).
using MoveFileOp = std::function<std::string(const std::string& from, const std::string& to)>;

struct NamingResult {
    std::string target;      // where this capture is to be written
    std::string renameError; // non-empty when renaming the first file failed
    std::string renameFrom;  // the two names of the failed rename, for the report
    std::string renameTo;
};

// The naming step of one store: renames the session's first file when the
// second capture arrives, advances the count (before the write, whatever its
// outcome) and says where to write.
//
// A failed rename (the numbered name exists already, or the first file is
// gone) is reported through renameError, but the capture still gets its own
// numbered name, so it is not lost and no existing file is overwritten.
class CFileNamer {
public:
    CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte = {});

    NamingResult Next(const MoveFileOp& move);

    const SplitName& Name() const { return name_; }
    int StoredCount() const { return storedCount_; }

private:
    SplitName name_;
    int storedCount_ = 0;
};
