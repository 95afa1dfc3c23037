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
        if (c == '\\')
            lastSlash = i;
    }
    if (lastSlash != std::string::npos) {
        s.directory = entered.substr(0, lastSlash);
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
        result = name.directory + "\\";
    result += name.baseName;
    result += digits;
    result += name.extension;
    return result;
}

namespace {

// A folder cannot hold more names than this; beyond it something answers
// "exists" for every name.
constexpr long long kMaxNamesSkipped = 1000000;

} // namespace

CFileNamer::CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte)
    : name_(SplitFileName(entered, isLeadByte)) {}

NamingResult CFileNamer::Next(const NamingFileOps& ops) {
    NamingResult r;
    r.target = name_.fileName;
    if (storedCount_ == 1 && firstWritten_) {
        for (long long k = nextNumber_; k < nextNumber_ + kMaxNamesSkipped; ++k) {
            const std::string numbered = NumberedName(name_, k);
            std::string why;
            const FileOpStatus status = ops.moveNew(name_.fileName, numbered, why);
            if (status == FileOpStatus::Exists)
                continue;
            if (status == FileOpStatus::Done)
                nextNumber_ = k + 1;
            if (status == FileOpStatus::Failed) {
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
        r.reserveError = "no free numbered name";
        for (long long k = nextNumber_; k < nextNumber_ + kMaxNamesSkipped; ++k) {
            r.target = NumberedName(name_, k);
            std::string why;
            const FileOpStatus status = ops.createNew(r.target, why);
            if (status == FileOpStatus::Exists)
                continue;
            // The number is used up whatever happens to this capture.
            nextNumber_ = k + 1;
            r.reserved = status == FileOpStatus::Done;
            r.reserveError = r.reserved ? std::string() : why.empty() ? "the file could not be created" : why;
            break;
        }
    }
    ++storedCount_;
    return r;
}

void CFileNamer::Written(bool written) {
    if (storedCount_ == 1)
        firstWritten_ = written;
}
