// Jump to key: shows a key, and a value of it, in the system registry editor. The editor offers
// no interface for this, so its own window is driven with keystrokes: its key tree is collapsed,
// the path is typed one component at a time into the tree's type-ahead search (each component
// only while that key exists), and the value name into the value list.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

// What is typed for a key path (one trailing "\" removed; root long name first).
struct JumpPlan {
    RootKey root = 0;
    // Typed into the tree: the root's component and then every further component that exists,
    // each followed by "\" (which expands the item).
    std::wstring treeText;
    // The deepest key reached below the root ("" for the root itself).
    std::wstring reachedSubkey;
    // Every component of the path exists, so the value can be looked for.
    bool complete = false;
};
// keyExists answers for (root, subkey); a component that does not exist, or an empty one, ends
// the descent.
using KeyExistsFn = std::function<bool(RootKey root, const std::wstring& subkey)>;
JumpPlan PlanJump(std::wstring_view keyPath, const KeyExistsFn& keyExists);
// The path split at "\" after removing one trailing "\".
std::vector<std::wstring> SplitJumpPath(std::wstring_view keyPath);

// Drives the editor to keyPath and, when valueName is not empty and exists, to that value.
// Starts "regedit.exe" when no editor window is open. Each name typed is checked against the
// editor's selection and put right where the type-ahead missed it. 1 when the editor was
// driven to the end, 0 when its window, tree or list could not be found or it stopped
// answering. Every wait is bounded; it takes about half a second per level, so call it off the
// window's thread.
int JumpToKey(const std::wstring& keyPath, const std::wstring& valueName);

// Types text into a tree window: "\" expands the selected item (Right arrow) and waits for the
// level to fill and the type-ahead search to lapse; any other character goes to that search.
// 1 when every keystroke was delivered.
int TypeIntoTree(HWND treeWindow, const std::wstring& text);

// The main window's jump handler: runs JumpToKey on a worker thread so the window never waits
// for the editor. A request made while a jump runs follows it; of several, the last.
void StartRegistryJump(const std::wstring& keyPath, const std::wstring& valueName);

} // namespace mdr
