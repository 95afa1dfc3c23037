// The shared block's protection. vsr makes the block, and only vsr may write
// targets into it: a program of lower integrity that could write its own
// window there would receive every key typed anywhere. Other copies of the
// library only ever open it for reading.
#pragma once

#include <windows.h>

#include <string>

namespace vistrel::hook {

enum class BlockStatus : int {
    Made = 0,          // ours, writable through `view`
    HeldByAnother = 1, // the name is taken by an object we did not make
    Failed = 2,        // the system refused; GetLastError says why
    // Our rules at another integrity level: an earlier run's block (elevated
    // then and not now, or the reverse), held open by programs that still
    // have that run's library. Neither level may use the other's block.
    EarlierRunAtOtherLevel = 3,
};

// The security descriptor the block is made with, in SDDL: owned by the
// user; the user may read and write its contents, SYSTEM may read, and the
// owner may not change the rules (OWNER RIGHTS); labelled at `integritySid`
// with no-write-up, so programs of lower integrity cannot write it.
std::string BlockSecurityText(const std::string& userSid, const std::string& integritySid);

// What decides whether an existing block is one we made: its owner and DACL
// as the system writes them back in SDDL, and its mandatory label.
struct BlockSecurityFacts {
    std::string ownerAndDacl;
    std::string labelSid; // empty: no label (a system that keeps none, like Wine)
    DWORD labelPolicy = 0;
};

// Owner and DACL of an SDDL text in the form the system reports them.
std::string NormalizedOwnerAndDacl(const std::string& sddl);

// Whose an existing block is, for a vsr running as `userSid` at
// `integritySid`. `labelsKept`: the system keeps mandatory labels on objects
// (Windows does; Wine keeps none). On Windows an object without a label is
// one an ordinary (medium) program made. `Made`: ours to take over.
BlockStatus JudgeBlockSecurity(const BlockSecurityFacts& existing, const std::string& userSid,
                               const std::string& integritySid, bool labelsKept);

// The user and the integrity level of this process, as SID strings.
bool ReadToken(std::string& userSid, std::string& integritySid);

// Whether the system keeps a mandatory label on an object made with one.
bool SystemKeepsLabels();

// Makes the block `name` of `size` bytes, or takes over one an earlier run
// made (other programs may keep it open after vsr has ended). On `Made`,
// `mapping` and a writable `view` are set.
BlockStatus MakeBlock(const char* name, DWORD size, HANDLE& mapping, void*& view);

} // namespace vistrel::hook
