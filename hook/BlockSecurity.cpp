#include "hook/BlockSecurity.h"

#include <aclapi.h>
#include <psapi.h>
#include <sddl.h>

namespace vistrel::hook {

namespace {

// SECTION_QUERY | SECTION_MAP_WRITE | SECTION_MAP_READ | READ_CONTROL
constexpr DWORD kUserAccess = 0x20007;
// SECTION_QUERY | SECTION_MAP_READ | READ_CONTROL
constexpr DWORD kSystemAccess = 0x20005;
constexpr DWORD kOpenAccess = kUserAccess;
constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr char kMediumLevel[] = "S-1-16-8192";
constexpr char kHighLevel[] = "S-1-16-12288";

std::string Hex(DWORD value) {
    char text[16];
    wsprintfA(text, "0x%lx", value);
    return text;
}

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

// Owner and DACL in the form the system writes them back, so texts compare.
std::string Normalized(PSECURITY_DESCRIPTOR sd) {
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, kOwnerAndDacl, &text, nullptr))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

} // namespace

std::string NormalizedOwnerAndDacl(const std::string& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
        return std::string();
    std::string result = Normalized(sd);
    LocalFree(sd);
    return result;
}

bool ReadToken(std::string& userSid, std::string& integritySid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    alignas(8) BYTE buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        userSid = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    if (GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &size))
        integritySid = SidText(reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid);
    CloseHandle(token);
    if (integritySid.empty())
        integritySid = kMediumLevel; // where the system tells none
    return !userSid.empty();
}

namespace {

// The mandatory label of a SACL, if it has one.
void ReadLabel(PACL sacl, BlockSecurityFacts& facts) {
    for (DWORD i = 0; sacl && i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(sacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)
            continue;
        auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
        facts.labelSid = SidText(&label->SidStart);
        facts.labelPolicy = label->Mask;
        return;
    }
}

// A section backed by the page file, not by a file someone else controls,
// and large enough for the block.
bool IsPageFileSection(const void* view, DWORD size) {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(view, &info, sizeof info) || info.Type != MEM_MAPPED || info.RegionSize < size)
        return false;
    char file[MAX_PATH];
    return GetMappedFileNameA(GetCurrentProcess(), const_cast<void*>(view), file, MAX_PATH) == 0;
}

BlockStatus TakeOverExisting(const char* name, DWORD size, const std::string& userSid,
                             const std::string& integritySid, HANDLE& mapping, void*& view) {
    HANDLE existing = OpenFileMappingA(kOpenAccess, FALSE, name);
    // A block labelled above us refuses writing; its rules still tell whose it is.
    const bool writable = existing != nullptr;
    if (!existing)
        existing = OpenFileMappingA(READ_CONTROL, FALSE, name);
    if (!existing)
        return BlockStatus::HeldByAnother; // another kind of object, or one we may not see
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL sacl = nullptr;
    const bool described =
        GetSecurityInfo(existing, SE_KERNEL_OBJECT, kOwnerAndDacl | LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, &sacl, &sd) == ERROR_SUCCESS;
    BlockSecurityFacts facts;
    if (described) {
        facts.ownerAndDacl = Normalized(sd);
        ReadLabel(sacl, facts);
    }
    const BlockStatus verdict = described ? JudgeBlockSecurity(facts, userSid, integritySid, SystemKeepsLabels())
                                          : BlockStatus::HeldByAnother;
    if (sd)
        LocalFree(sd);
    void* mapped = verdict == BlockStatus::Made && writable ? MapViewOfFile(existing, FILE_MAP_WRITE, 0, 0, size)
                                                            : nullptr;
    if (!mapped || !IsPageFileSection(mapped, size)) {
        if (mapped)
            UnmapViewOfFile(mapped);
        CloseHandle(existing);
        return verdict == BlockStatus::EarlierRunAtOtherLevel ? verdict : BlockStatus::HeldByAnother;
    }
    mapping = existing;
    view = mapped;
    return BlockStatus::Made;
}

} // namespace

// Asked of a fresh unnamed event labelled low (any program may label below itself).
bool SystemKeepsLabels() {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", SDDL_REVISION_1, &sd, nullptr))
        return true; // cannot tell: the stricter answer
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    HANDLE probe = CreateEventA(&attributes, TRUE, FALSE, nullptr);
    LocalFree(sd);
    if (!probe)
        return true;
    PSECURITY_DESCRIPTOR read = nullptr;
    PACL sacl = nullptr;
    bool kept = true;
    if (GetSecurityInfo(probe, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, &sacl,
                        &read) == ERROR_SUCCESS) {
        BlockSecurityFacts facts;
        ReadLabel(sacl, facts);
        kept = !facts.labelSid.empty();
    }
    if (read)
        LocalFree(read);
    CloseHandle(probe);
    return kept;
}

std::string BlockSecurityText(const std::string& userSid, const std::string& integritySid) {
    return "O:" + userSid + "D:P(A;;" + Hex(kUserAccess) + ";;;" + userSid + ")(A;;" + Hex(kSystemAccess) +
           ";;;SY)(A;;RC;;;OW)S:(ML;;NW;;;" + integritySid + ")";
}

BlockStatus JudgeBlockSecurity(const BlockSecurityFacts& existing, const std::string& userSid,
                               const std::string& integritySid, bool labelsKept) {
    const std::string expected = NormalizedOwnerAndDacl(BlockSecurityText(userSid, integritySid));
    if (existing.ownerAndDacl.empty() || existing.ownerAndDacl != expected)
        return BlockStatus::HeldByAnother;
    // No label means medium where labels are kept: ours only when we run
    // there too. An elevated vsr taking it over would let ordinary programs
    // write the targets that copies in elevated programs post keys to.
    if (existing.labelSid.empty())
        return !labelsKept || integritySid == kMediumLevel ? BlockStatus::Made : BlockStatus::HeldByAnother;
    if (!(existing.labelPolicy & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP))
        return BlockStatus::HeldByAnother;
    if (existing.labelSid == integritySid)
        return BlockStatus::Made;
    // Vistrel runs at medium or high only; a low label is what Windows puts on
    // anything a low-integrity program makes, whatever rules it copies.
    const bool vistrelLevel = existing.labelSid == kMediumLevel || existing.labelSid == kHighLevel;
    return vistrelLevel ? BlockStatus::EarlierRunAtOtherLevel : BlockStatus::HeldByAnother;
}

BlockStatus MakeBlock(const char* name, DWORD size, HANDLE& mapping, void*& view) {
    std::string userSid, integritySid;
    if (!ReadToken(userSid, integritySid))
        return BlockStatus::Failed;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(BlockSecurityText(userSid, integritySid).c_str(),
                                                              SDDL_REVISION_1, &sd, nullptr))
        return BlockStatus::Failed;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    HANDLE made = CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, size, name);
    const DWORD error = GetLastError();
    LocalFree(sd);
    if (made && error != ERROR_ALREADY_EXISTS) {
        void* mapped = MapViewOfFile(made, FILE_MAP_WRITE, 0, 0, size);
        if (!mapped) {
            const DWORD mapError = GetLastError();
            CloseHandle(made);
            SetLastError(mapError);
            return BlockStatus::Failed;
        }
        mapping = made;
        view = mapped;
        return BlockStatus::Made;
    }
    if (made)
        CloseHandle(made);
    // The name exists: an earlier run's block still open in other programs,
    // or somebody else's object, which is never used.
    return TakeOverExisting(name, size, userSid, integritySid, mapping, view);
}

} // namespace vistrel::hook
