// Small icons of files that the registry names. Other programs write those names, and a file
// whose icon directory lies about its images would crash the system's icon reader, so every
// directory and image is checked here before any of its bytes reach the system.
#pragma once

#include <windows.h>
#include <cstddef>
#include <string>
#include <vector>

#include "common/handles.h"

namespace mdr {

// The small icon of the given index inside the file: an icon or cursor file (index 0), or a
// program or library read as data (index n = its n-th icon group, -n = the group of id n).
// Empty when the file has none, fails a check, or lies on a network path (which could stall).
UniqueHicon SmallIconOf(const std::wstring& path, int index);

// Pure checks of the bytes, for tests.
// An icon or cursor file held in memory: the images of its directory as a group directory in the
// resource form (image n has id n + 1), or empty when the directory is not sound (count 1..256,
// every image inside the file and behind the directory, file under 1 MB).
std::vector<BYTE> GroupOfIconFile(const std::vector<BYTE>& file);
// A group directory of the resource form: 1..256 images, all of them inside its size.
bool GroupIsSound(const BYTE* group, size_t size);
// One image: a PNG, or a bitmap header whose colours, pixels and mask fit in size.
bool IconImageIsSound(const BYTE* image, size_t size);

} // namespace mdr
