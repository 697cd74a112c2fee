// The error-list report as text (header, record blocks, line ends), and the About window's text
// and theme decision.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/text.h"
#include "mdr/ui/about_window.h"
#include "mdr/ui/export_list.h"

namespace {

using mdr::DetectedError;
using mdr::ExportLabels;

const std::wstring kSeparator(69, L'-');

const ExportLabels kLabels{L"Root key:",
                           L"Subkey:",
                           L"Value name:",
                           L"Value data:",
                           L"Category:",
                           L"Safety:",
                           L"Safe",
                           L"Unsafe",
                           L"Total detected errors: $totalDetectedErrors$",
                           L"Returned after fix"};

DetectedError Record(mdr::RootKey root, std::wstring key, std::wstring name, std::wstring data,
                     std::wstring category, int safety) {
    DetectedError r;
    std::tie(r.root, r.keyPath, r.valueName, r.valueData, r.category, r.safety, r.description) =
        std::tie(root, key, name, data, category, safety, L"not part of the report");
    return r;
}

// Lines of a text whose every line ends in CR LF; fails on a bare CR or LF.
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L"\r\n", start);
        EXPECT_NE(end, std::wstring::npos) << "last line without CR LF";
        if (end == std::wstring::npos) break;
        const std::wstring line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "bare line break";
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

TEST(ExportText, WholeReportLineByLine) {
    const std::vector<DetectedError> records = {
        Record(mdr::kHklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
               L"mdr.drv", L"C:\\Missing\\mdr.drv", L"Drivers", 0),
        Record(mdr::kHkcu, L"AppEvents\\Schemes\\Apps\\X\\Y\\.Current", L"", L"", L"Sounds", 1),
    };
    const std::wstring text = mdr::ErrorListExportText(kLabels, L"2009/05/17 at 14:03:09", records);
    const std::vector<std::wstring> expected = {
        kSeparator,
        L"MDR Error List Export",
        L"Veltrane Mendora, the registry cleaner by Veltrane",
        L"Website: http://www.veltrane.com/mendora/",
        kSeparator,
        L"Generated on: 2009/05/17 at 14:03:09",
        kSeparator,
        L"",
        L"Total detected errors: 2",
        L"",
        L"Root key: HKEY_LOCAL_MACHINE",
        L"Subkey: SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
        L"Value name: mdr.drv",
        L"Value data: C:\\Missing\\mdr.drv",
        L"Category: Drivers",
        L"Safety: Unsafe",
        L"",
        kSeparator,
        L"",
        L"Root key: HKEY_CURRENT_USER",
        L"Subkey: AppEvents\\Schemes\\Apps\\X\\Y\\.Current",
        L"Value name: (Default)",
        L"Value data: n/a",
        L"Category: Sounds",
        L"Safety: Safe",
        L"",
        kSeparator,
        L"",
    };
    EXPECT_EQ(Lines(text), expected);
    EXPECT_EQ(text.substr(text.size() - 4), L"\r\n\r\n") << "the last block ends in an empty line";
}

TEST(ExportText, LineBreaksInsideNamesDoNotBreakTheBlock) {
    // Registry names may hold CR and LF; a block must still have its nine lines.
    const DetectedError r =
        Record(mdr::kHklm, L"Key\r\nWith break", L"two\r\nlines", L"data\nmore", L"Cat\rgory", 1);
    const std::vector<std::wstring> lines = Lines(mdr::ExportRecordText(kLabels, r));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], L"Subkey: Key  With break");
    EXPECT_EQ(lines[2], L"Value name: two  lines");
    EXPECT_EQ(lines[3], L"Value data: data more");
    EXPECT_EQ(lines[4], L"Category: Cat gory");
}

TEST(AboutText, LinesAndMemoryInWholeMegabytes) {
    const uint64_t bytes = 3ull * 1024 * 1024 * 1024 + 1024 * 1024 - 1; // 3 GB + almost 1 MB
    EXPECT_EQ(mdr::AboutText(L"Version:", L"1.0 BETA", L"Physical memory:", bytes),
              L"Veltrane Mendora\r\nA Veltrane product\r\nVersion: 1.0 BETA\r\n\r\n"
              L"Physical memory: 3072 MB");
    // Above 4 GB the figure is not cut at 32 bits.
    EXPECT_TRUE(mdr::AboutText(L"V", L"x", L"M", 24ull * 1024 * 1024 * 1024)
                    .ends_with(L"\r\nV x\r\n\r\nM 24576 MB"));
}

TEST(AboutText, ThemedFrameOnlyOnThemedXpAndLater) {
    EXPECT_TRUE(mdr::UseThemedFrame(60, 1, 1));
    EXPECT_TRUE(mdr::UseThemedFrame(100, 1, 1));
    EXPECT_FALSE(mdr::UseThemedFrame(50, 1, 1)) << "Windows 2000 has no themes";
    EXPECT_FALSE(mdr::UseThemedFrame(60, 0, 1));
    EXPECT_FALSE(mdr::UseThemedFrame(60, 1, 0));
    EXPECT_FALSE(mdr::UseThemedFrame(80, 2, 1)) << "only an answer of exactly 1 counts";
}

} // namespace
