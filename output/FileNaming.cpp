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

CFileNamer::CFileNamer(const std::string& entered, const LeadByteTest& isLeadByte)
    : name_(SplitFileName(entered, isLeadByte)) {}

NamingResult CFileNamer::Next(const MoveFileOp& move) {
    NamingResult r;
    r.target = name_.fileName;
    if (storedCount_ == 1) {
        std::string first = NumberedName(name_, 1);
        std::string error = move(name_.fileName, first);
        if (!error.empty()) {
            r.renameError = error;
            r.renameFrom = name_.fileName;
            r.renameTo = first;
        }
    }
    if (storedCount_ >= 1)
        r.target = NumberedName(name_, static_cast<long long>(storedCount_) + 1);
    ++storedCount_;
    return r;
}
