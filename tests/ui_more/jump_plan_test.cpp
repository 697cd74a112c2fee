// What the jump to a key types: splitting of the key path, the root names accepted, and where
// the descent stops for keys that are not there.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ui/regedit_jump.h"

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

TEST(JumpPlan, SplitRemovesOneTrailingBackslash) {
    EXPECT_EQ(mdr::SplitJumpPath(L"HKEY_USERS\\a\\b\\"),
              (std::vector<std::wstring>{L"HKEY_USERS", L"a", L"b"}));
    EXPECT_EQ(mdr::SplitJumpPath(L"HKEY_USERS\\a\\b"),
              (std::vector<std::wstring>{L"HKEY_USERS", L"a", L"b"}));
    EXPECT_EQ(mdr::SplitJumpPath(L"HKEY_USERS\\a\\\\"),
              (std::vector<std::wstring>{L"HKEY_USERS", L"a", L""}));
    EXPECT_TRUE(mdr::SplitJumpPath(L"").empty());
    EXPECT_TRUE(mdr::SplitJumpPath(L"\\").empty());
}

TEST(JumpPlan, ExistingPathIsTypedWholeWithAnExpandAfterEachComponent) {
    const FakeKeys keys = Machine();
    const JumpPlan plan = PlanJump(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", std::cref(keys));
    EXPECT_EQ(plan.root, mdr::kHklm);
    EXPECT_EQ(plan.treeText, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\\");
    EXPECT_EQ(plan.reachedSubkey, L"SOFTWARE\\Vendor\\App");
    EXPECT_TRUE(plan.complete);
    // Each level is asked about once, from the top down.
    EXPECT_EQ(keys.asked, (std::vector<std::wstring>{L"SOFTWARE", L"SOFTWARE\\Vendor",
                                                     L"SOFTWARE\\Vendor\\App"}));
}

TEST(JumpPlan, MissingComponentStopsAtTheDeepestExistingKey) {
    // The third component is gone: the editor stays at the second.
    const JumpPlan plan =
        PlanJump(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Gone\\Deeper", Machine());
    EXPECT_EQ(plan.treeText, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\");
    EXPECT_EQ(plan.reachedSubkey, L"SOFTWARE\\Vendor");
    EXPECT_FALSE(plan.complete) << "the value is not looked for below a missing key";
}

TEST(JumpPlan, RootOnlyAndUnknownRoots) {
    const JumpPlan root = PlanJump(L"HKEY_CURRENT_USER", Machine());
    EXPECT_EQ(root.treeText, L"HKEY_CURRENT_USER\\");
    EXPECT_EQ(root.reachedSubkey, L"");
    EXPECT_TRUE(root.complete);

    FakeKeys keys = Machine();
    const JumpPlan unknown = PlanJump(L"HKLM\\SOFTWARE", std::cref(keys));
    EXPECT_EQ(unknown.root, 0u);
    EXPECT_EQ(unknown.treeText, L"HKLM\\");
    EXPECT_FALSE(unknown.complete);
    EXPECT_TRUE(keys.asked.empty()) << "no registry question for a root we do not know";
}

TEST(JumpPlan, EmptyComponentEndsTheDescent) {
    const JumpPlan plan = PlanJump(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Vendor", Machine());
    EXPECT_EQ(plan.treeText, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\");
    EXPECT_FALSE(plan.complete);
}

} // namespace
