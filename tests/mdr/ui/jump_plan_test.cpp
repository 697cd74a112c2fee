// What the jump to a key types: the root names accepted, and where the descent stops for keys
// that are not there.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "mdr/ui/regedit_jump.h"

namespace {

using mdr::JumpPlan;
using mdr::PlanJump;

// A registry that holds exactly these (root, subkey) pairs.
struct FakeKeys {
    std::set<std::pair<mdr::RootKey, std::wstring>> keys;
    mutable std::vector<std::wstring> asked;
    bool operator()(mdr::RootKey root, const std::wstring& subkey) const {
        asked.push_back(subkey);
        return keys.count({root, subkey}) != 0;
    }
};

FakeKeys Machine() {
    FakeKeys f;
    f.keys = {{mdr::kHklm, L"SOFTWARE"},
              {mdr::kHklm, L"SOFTWARE\\Vendor"},
              {mdr::kHklm, L"SOFTWARE\\Vendor\\App"},
              {mdr::kHkcu, L"Software"}};
    return f;
}

// The tree text typed (an expand after each component), how deep the descent got, and whether
// the value is looked for: one trailing backslash goes; the descent stops at a missing key, an
// empty component or a root that is not known.
TEST(JumpPlan, DescentStopsAtTheDeepestExistingKey) {
    const struct {
        const wchar_t* path;
        const wchar_t* treeText;
        const wchar_t* reached;
        bool complete;
    } cases[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\\", L"SOFTWARE\\Vendor\\App", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Gone\\Deeper",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\", L"SOFTWARE\\Vendor", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Vendor", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\", L"SOFTWARE",
         false},
        {L"HKEY_CURRENT_USER", L"HKEY_CURRENT_USER\\", L"", true},
        {L"HKEY_CURRENT_USER\\Software\\", L"HKEY_CURRENT_USER\\Software\\", L"Software", true},
        {L"HKLM\\SOFTWARE", L"HKLM\\", L"", false},
    };
    for (const auto& c : cases) {
        FakeKeys keys = Machine();
        const JumpPlan plan = PlanJump(c.path, std::cref(keys));
        EXPECT_EQ(plan.treeText, c.treeText);
        EXPECT_EQ(plan.reachedSubkey, c.reached) << mdr::ToUtf8(c.path);
        EXPECT_EQ(plan.complete, c.complete) << mdr::ToUtf8(c.path);
        if (std::wstring_view(c.path).starts_with(L"HKLM\\")) {
            EXPECT_TRUE(keys.asked.empty()) << "no registry question for an unknown root";
        }
    }
    // Each level is asked about once, from the top down.
    FakeKeys keys = Machine();
    EXPECT_EQ(PlanJump(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", std::cref(keys)).root,
              mdr::kHklm);
    EXPECT_EQ(keys.asked, (std::vector<std::wstring>{L"SOFTWARE", L"SOFTWARE\\Vendor",
                                                     L"SOFTWARE\\Vendor\\App"}));
}

} // namespace
