#pragma once

#include <functional>
#include <string>

// Names of the files a single-image output writes during one session. One
// capture keeps the entered name, which it replaces on purpose; from the
// second capture on the first file is renamed to a numbered name and every
// capture gets a number of its own. A numbered name never replaces a file:
// names that exist are skipped, so captures of an earlier session are kept.
//
// Portable: the platform's file operations and its double-byte lead-byte
// test are passed in, so the rules can be tested without Windows.

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

// What a file operation of the naming step found.
enum class FileOpStatus { Done, Exists, Missing, Failed };

// The platform's operations for numbered names. Each creates its target only
// if no file of that name exists, in one step, so nothing can slip in between
// a check and the write; on Failed, `why` holds the system's reason.
struct NamingFileOps {
    std::function<FileOpStatus(const std::string& from, const std::string& to, std::string& why)> moveNew;
    std::function<FileOpStatus(const std::string& path, std::string& why)> createNew;
};

struct NamingResult {
    std::string target;       // where this capture is to be written
    bool reserved = false;    // target was made empty for this capture: remove it if the write fails
    std::string reserveError; // no numbered name could be made: nothing is to be written
    std::string renameError;  // the first file could not be renamed (the capture is still written)
    std::string renameFrom;   // the two names of the failed rename, for the report
    std::string renameTo;
};

// The naming step of one store: renames the session's first file when the
// second capture arrives, advances the count (before the write, whatever its
// outcome) and says where to write. Numbered names go to the lowest free
// number above the last one used, so they stay dense when nothing is in the
// way and step over files the session did not write.
class CFileNamer {
public:
    CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte = {});

    NamingResult Next(const NamingFileOps& ops);
    // Whether the capture named by the last Next was written: a first file
    // that was never written is not renamed (an older file of that name is
    // not the session's own).
    void Written(bool written);

    const SplitName& Name() const { return name_; }
    int StoredCount() const { return storedCount_; }

private:
    SplitName name_;
    int storedCount_ = 0;
    long long nextNumber_ = 1;
    bool firstWritten_ = false;
};
