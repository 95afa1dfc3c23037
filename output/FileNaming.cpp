#include "output/FileNaming.h"

#include <cstdio>

SplitName SplitFileName(const std::string& entered, const LeadByteTest& isLeadByte) {
    SplitName s;
    s.fileName = entered;
    s.baseName = entered;

    size_t lastSlash = std::string::npos;
    for (size_t i = 0; i < entered.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(entered[i]);
        if (isLeadByte && isLeadByte(c) && i + 1 < entered.size()) {
            ++i; // the trail byte may have any value, a backslash's included
            continue;
        }
        if (c == '\\' || c == '/')
            lastSlash = i;
    }
    if (lastSlash != std::string::npos) {
        s.directory = entered.substr(0, lastSlash);
        s.separator = entered[lastSlash];
        s.baseName = entered.substr(lastSlash + 1);
    }

    // '.' is never a trail byte in the double-byte code pages Windows uses.
    size_t dot = s.baseName.rfind('.');
    if (dot != std::string::npos) {
        s.extension = s.baseName.substr(dot);
        s.baseName.erase(dot);
    }
    return s;
}

std::string NumberedName(const SplitName& name, long long k) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04lld", k);
    std::string result;
    if (!name.directory.empty())
        result = name.directory + name.separator;
    result += name.baseName;
    result += digits;
    result += name.extension;
    return result;
}

std::string FileNameProblem(const std::string& entered, const LeadByteTest& isLeadByte,
                            const SuperscriptTest& isSuperscriptDigit) {
    const SplitName name = SplitFileName(entered, isLeadByte);
    const std::string filePart = name.baseName + name.extension;
    if (filePart.empty())
        return "\"" + entered + "\" names a folder. Please enter a file name.";
    if (filePart.back() == '.' || filePart.back() == ' ')
        return "A file name cannot end with a dot or a space: \"" + filePart + "\".";
    // "C:" names a drive; any other colon a stream of the file before it.
    const bool drive = entered.size() > 1 && entered[1] == ':' &&
                       ((entered[0] >= 'A' && entered[0] <= 'Z') || (entered[0] >= 'a' && entered[0] <= 'z'));
    for (size_t i = drive ? 2 : 0; i < entered.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(entered[i]);
        if (isLeadByte && isLeadByte(c) && i + 1 < entered.size())
            ++i; // a trail byte is never a colon, whatever its value
        else if (c == ':')
            return "A file name cannot hold a colon other than the drive's: \"" + entered + "\".";
    }
    // The device is named by the part before the first dot, spaces trimmed.
    std::string stem = filePart.substr(0, filePart.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    std::string upper;
    for (char c : stem)
        upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    const unsigned char last = upper.empty() ? 0 : static_cast<unsigned char>(upper.back());
    const bool superscript = isSuperscriptDigit ? isSuperscriptDigit(last)
                                                : last == 0xB9 || last == 0xB2 || last == 0xB3;
    const bool numberedDevice = upper.size() == 4 &&
                                (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                                ((last >= '1' && last <= '9') || superscript);
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || numberedDevice)
        return "\"" + filePart + "\" names a device, not a file. Please choose another name.";
    return {};
}

namespace {

// A folder cannot hold more names than this; beyond it something answers
// "exists" for every name.
constexpr long long kMaxNamesSkipped = 1000000;
// Denied names skipped before the denial counts as a failure: a name pending
// deletion is passed over, a folder that denies every name is not tried on.
constexpr int kMaxNamesRefused = 3;

} // namespace

CFileNamer::CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte)
    : name_(SplitFileName(entered, isLeadByte)) {}

NamingResult CFileNamer::Next(const NamingFileOps& ops) {
    NamingResult r;
    r.target = name_.fileName;
    claimed_ = false;
    if (storedCount_ == 1 && firstWritten_ && ops.isOwnFirst && !ops.isOwnFirst(name_.fileName))
        firstWritten_ = false; // replaced by another copy: not ours to rename
    if (storedCount_ == 1 && firstWritten_) {
        int refused = 0;
        for (long long k = nextNumber_; k < nextNumber_ + kMaxNamesSkipped; ++k) {
            const std::string numbered = NumberedName(name_, k);
            std::string why;
            const FileOpStatus status = ops.moveNew(name_.fileName, numbered, why);
            if (status == FileOpStatus::Exists ||
                (status == FileOpStatus::Refused && ++refused < kMaxNamesRefused))
                continue;
            if (status == FileOpStatus::Done)
                nextNumber_ = k + 1;
            if (status == FileOpStatus::Failed || status == FileOpStatus::Refused) {
                r.renameError = why;
                r.renameFrom = name_.fileName;
                r.renameTo = numbered;
            }
            break; // Missing: the first file is gone, nothing to rename
        }
    }
    if (storedCount_ >= 1) {
        if (storedCount_ == 1 && !firstWritten_)
            nextNumber_ = 2; // the first capture keeps its number, as lost
        r.numbered = true;
        r.target = NumberedName(name_, nextNumber_);
    }
    ++storedCount_;
    return r;
}

bool CFileNamer::Claim(const std::string& temp, NamingResult& result, const NamingFileOps& ops,
                       std::string& why) {
    why = "no free numbered name";
    int refused = 0;
    for (long long k = nextNumber_; k < nextNumber_ + kMaxNamesSkipped; ++k) {
        result.target = NumberedName(name_, k);
        const FileOpStatus status = ops.moveNew(temp, result.target, why);
        if (status == FileOpStatus::Exists || (status == FileOpStatus::Refused && ++refused < kMaxNamesRefused))
            continue;
        // The number is used up whatever happens to this capture.
        nextNumber_ = k + 1;
        claimed_ = true;
        if (status == FileOpStatus::Missing)
            why = "the finished file disappeared before it could be named";
        return status == FileOpStatus::Done;
    }
    return false;
}

void CFileNamer::Written(bool written) {
    if (storedCount_ == 1)
        firstWritten_ = written;
    else if (!written && !claimed_)
        ++nextNumber_;
}
