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
    std::string directory; // everything before the last separator, without it
    std::string extension; // from the last dot of the file part on, dot included
    std::string baseName;  // the file part without its extension
    char separator = '\\'; // the separator found, '\\' or '/'
};

// Splits an entered path; '/' separates folders as '\' does. The search
// steps over double-byte characters so a trail byte is never a separator.
SplitName SplitFileName(const std::string& entered, const LeadByteTest& isLeadByte = {});

// Tells whether a byte is a superscript digit 1, 2 or 3 in the active code
// page; none: the bytes of Windows-1252 (0xB9, 0xB2, 0xB3).
using SuperscriptTest = std::function<bool(unsigned char)>;

// Why the system could not keep a file under this name, in words for the
// user; empty when it can. Refused: no file part, a file part ending in a dot
// or a space (Windows drops them, and the extension with them), a colon other
// than the drive's (it would name a stream of another file), and device names
// such as CON, NUL, COM1 or COM¹, with or without an extension.
std::string FileNameProblem(const std::string& entered, const LeadByteTest& isLeadByte = {},
                            const SuperscriptTest& isSuperscriptDigit = {});

// "dir\base0007.ext": at least four digits, more when the number needs them.
std::string NumberedName(const SplitName& name, long long k);

// What a file operation of the naming step found. Refused: the system denied
// the name (a file pending deletion stands there); the next number is tried.
enum class FileOpStatus { Done, Exists, Missing, Refused, Failed };

// The platform's operations for numbered names.
struct NamingFileOps {
    // Moves `from` to `to` in one step only if no file is named `to`, so
    // nothing can slip in between a check and the move; on Failed, `why`
    // holds the system's reason.
    std::function<FileOpStatus(const std::string& from, const std::string& to, std::string& why)> moveNew;
    // Whether `path` is still the file the session wrote as its first
    // capture (another copy of the program may have replaced it); none: yes.
    std::function<bool(const std::string& path)> isOwnFirst;
};

struct NamingResult {
    std::string target;      // the entered name, or the numbered name meant for this capture
    bool numbered = false;   // written to a temporary first, then Claim takes the name
    std::string renameError; // the first file could not be renamed: it stays under the entered name
    std::string renameFrom;  // the two names of the failed rename, for the report
    std::string renameTo;
};

// The naming step of one store: renames the session's first file when the
// second capture arrives, advances the count (before the write, whatever its
// outcome) and says where to write. A numbered capture is written complete
// to a temporary and then moved to the lowest free number above the last one
// used, so numbers stay dense when nothing is in the way, step over files the
// session did not write, and no empty file ever stands for a capture.
class CFileNamer {
public:
    CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte = {});

    NamingResult Next(const NamingFileOps& ops);
    // Moves the finished temporary of a numbered capture to its name, the
    // next free number from `result.target` on, and puts that name into
    // `result.target`. False with `why` when no name could be taken; the
    // temporary then stays, for the caller to remove.
    bool Claim(const std::string& temp, NamingResult& result, const NamingFileOps& ops, std::string& why);
    // Whether the capture named by the last Next was written: a first file
    // that was never written is not renamed (an older file of that name is
    // not the session's own), and a failed numbered capture uses up its number.
    void Written(bool written);

    const SplitName& Name() const { return name_; }
    int StoredCount() const { return storedCount_; }

private:
    SplitName name_;
    int storedCount_ = 0;
    long long nextNumber_ = 1;
    bool firstWritten_ = false;
    bool claimed_ = false;
};
