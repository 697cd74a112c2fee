// The pure text steps of the registry and path helpers, and the scan thread's progress rounding.
#include <gtest/gtest.h>

#include <tuple>

#include "mdr/scan/area_containers.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/findings_report.h"
#include "mdr/scan/scan_thread.h"
#include "common/text.h"

using namespace mdr;

const std::wstring kWin = L"C:\\windows\\";

// The one root-name parser, used by the skip map, the exceptions, the .mdr files and the jump.
TEST(RootNames, FiveLongNamesBothWays) {
    const struct {
        const wchar_t* name;
        RootKey root;
    } cases[] = {
        {L"HKEY_CLASSES_ROOT", 0x80000000u},
        {L"hkey_current_user", 0x80000001u},
        {L"  HKEY_Local_Machine\t", 0x80000002u},
        {L"HKEY_USERS", 0x80000003u},
        {L"HKEY_CURRENT_CONFIG", 0x80000005u},
        {L"HKLM", 0}, // no short forms
        {L"HKEY_PERFORMANCE_DATA", 0},
        {L"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RootKeyFromName(c.name), c.root) << ToUtf8(c.name);
    EXPECT_EQ(RootKeyName(0x80000002u), L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(RootKeyName(0x80000005u), L"HKEY_CURRENT_CONFIG");
    EXPECT_EQ(RootKeyName(0x80000004u), L""); // performance data is not a scan root
}

TEST(ReferenceText, CommaAndDriveRoots) {
    EXPECT_EQ(BeforeFirstComma(L"C:\\a.dll,1,2"), L"C:\\a.dll");
    EXPECT_EQ(BeforeFirstComma(L",1"), L"");
    EXPECT_TRUE(IsDriveRootName(L"C:\\"));
    EXPECT_FALSE(IsDriveRootName(L"C:\\x"));
    EXPECT_FALSE(IsDriveRootName(L"C"));
    // Left to right, each pair once: three become two, four become two.
    EXPECT_EQ(CollapseDoubleBackslashes(L"a\\\\\\b"), L"a\\\\b");
    EXPECT_EQ(CollapseDoubleBackslashes(L"a\\\\\\\\b"), L"a\\\\b");
}

TEST(ReferenceText, WordPrefixesEndInOneBlank) {
    EXPECT_EQ(WordPrefixes(L"C:\\Program Files\\app.exe /s"),
              (std::vector<std::wstring>{L"C:\\Program ", L"C:\\Program Files\\app.exe ",
                                         L"C:\\Program Files\\app.exe /s "}));
    // n is the number of blanks + 1, so doubled blanks give empty words.
    EXPECT_EQ(WordPrefixes(L"a  b"), (std::vector<std::wstring>{L"a ", L"a  ", L"a  b "}));
}

TEST(ReferenceText, QuotesAndArguments) {
    // Wrapped in quotes: only the quotes go.
    EXPECT_EQ(RewriteReferenceText(L"\"C:\\a b\\x.exe\"", kWin), L"C:\\a b\\x.exe");
    // Quoted program followed by arguments: the arguments are cut off first.
    EXPECT_EQ(RewriteReferenceText(L"\"C:\\a b\\x.exe\" /s -k", kWin), L"C:\\a b\\x.exe");
    // ... unless the last argument is quoted too: then the text counts as wrapped and only loses
    // its quotes (the word prefixes still find the program).
    EXPECT_EQ(RewriteReferenceText(L"\"C:\\a b\\x.exe\" /s \"q\"", kWin), L"C:\\a b\\x.exe /s q");
    // Unquoted program with a quoted argument: cut at the first blank outside quotes.
    EXPECT_EQ(RewriteReferenceText(L"C:\\x.exe \"arg one\"", kWin), L"C:\\x.exe");
    // No quote at all: arguments stay (the word prefixes deal with them).
    EXPECT_EQ(RewriteReferenceText(L"C:\\a b\\x.exe /s", kWin), L"C:\\a b\\x.exe /s");
}

TEST(SearchFolderText, FieldsTrimmedNonEmptyWithBackslash) {
    auto f = SearchPathFields(L"C:\\a; ;C:\\b\\;;  %SystemRoot%\\x  ;");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0], L"C:\\a\\");
    EXPECT_EQ(f[1], L"C:\\b\\");
    EXPECT_EQ(f[2], L"%SystemRoot%\\x\\");
    EXPECT_TRUE(SearchPathFields(L";;").empty());
}

TEST(Progress, RoundsHalvesToEven) {
    EXPECT_EQ(ProgressPercent(2, 2), 100);
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(1, 8), 12); // 12.5
    EXPECT_EQ(ProgressPercent(3, 8), 38); // 37.5
    EXPECT_EQ(ProgressPercent(0, 5), 0);
    EXPECT_EQ(ProgressPercent(1, 0), 0);
}

// The fix's guard: every container the areas walk, a key above each and each root are refused;
// an entry below a container is not, and a value only where its key is a root.
TEST(ContainerGuard, RefusesContainersAndWhatLiesAboveThemOnly) {
    for (const ContainerKey& c : AreaContainers()) {
        const std::wstring parent = c.path.substr(0, c.path.rfind(L'\\') + 1);
        EXPECT_NE(ContainerHitBy(c.root, c.path, false), L"") << ToUtf8(c.path);
        EXPECT_NE(ContainerHitBy(c.root, parent, false), L"") << ToUtf8(c.path);
        EXPECT_EQ(ContainerHitBy(c.root, c.path + L"\\entry", false), L"") << ToUtf8(c.path);
        EXPECT_EQ(ContainerHitBy(c.root, c.path, true), L"") << ToUtf8(c.path);
    }
    const std::tuple<RootKey, std::wstring, bool, std::wstring> cases[] = {
        {kHklm, L"software\\microsoft\\windows\\currentversion\\app paths\\", false,
         L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
        {kHklm, L"Software\\Wow6432Node\\Classes\\CLSID", false,
         L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID"},
        {kHkcr, L"CLSID", false, L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID"},
        {kHkcr, L"CLSID\\{00000000-0000-0000-0000-000000000001}", false, L""},
        {kHkcu, L"Software\\Vendor", false, L""},
        {kHklm, L"", true, L"HKEY_LOCAL_MACHINE"},
        {kHkcu, L"\\", false, L"HKEY_CURRENT_USER"},
        {kHklm, L"System\\CurrentControlSet\\Services\\gone", false, L""},
        {kHklm, L"System", false, L"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services"},
    };
    for (const auto& [root, path, value, hit] : cases)
        EXPECT_EQ(ContainerHitBy(root, path, value), hit) << ToUtf8(path);
}

// The report formats: CSV fields quoted only when they must be, JSON strings valid whatever the
// registry held (control characters, lone surrogates).
TEST(FindingsReport, CsvAndJsonHoldAnyText) {
    const std::pair<std::wstring, std::wstring> csv[] = {{L"plain", L"plain"},
                                                         {L"a,b", L"\"a,b\""},
                                                         {L"say \"x\"", L"\"say \"\"x\"\"\""},
                                                         {L"two\r\nlines", L"\"two\r\nlines\""},
                                                         {L"", L""}};
    for (const auto& [text, field] : csv)
        EXPECT_EQ(CsvField(text), field);
    const std::pair<std::wstring, std::wstring> json[] = {
        {L"C:\\a \"b\"", L"\"C:\\\\a \\\"b\\\"\""},
        {L"\x01\t", L"\"\\u0001\\u0009\""},
        {std::wstring(1, wchar_t(0xD800)) + L"x", L"\"\\ud800x\""},
        {L"\U0001F600", L"\"\U0001F600\""},
        {std::wstring(1, wchar_t(0xDC00)), L"\"\\udc00\""}};
    for (const auto& [text, string] : json)
        EXPECT_EQ(JsonString(text), string);

    DetectedError e;
    e.root = kHklm, e.keyPath = L"Software\\A,B", e.valueName = L"v", e.valueData = L"say \"x\"";
    e.areaIndex = 1, e.safety = 1, e.description = L"gone", e.fixedBefore = L"2026-12-01";
    const ReportContext context{
        L"PC1", L"2026-12-07T18:20:00", L"1.0.0.1", {L"COM", L"Paths"}, {L"Unsafe", L"Safe"}};
    EXPECT_EQ(FindingsCsv({e}, context),
              "\xEF\xBB\xBF"
              "Computer,Area,Key,Value,Data,Safety,Reason,Returned after fix\r\n"
              "PC1,Paths,\"HKEY_LOCAL_MACHINE\\Software\\A,B\",v,\"say "
              "\"\"x\"\"\",Safe,gone,2026-12-01\r\n");
    EXPECT_EQ(
        FindingsJson({e}, context),
        "{\"computer\": \"PC1\", \"date\": \"2026-12-07T18:20:00\", \"version\": \"1.0.0.1\", "
        "\"areas\": {\"COM\": 0, \"Paths\": 1}, \"findings\": [\r\n  {\"area\": \"Paths\", "
        "\"key\": \"HKEY_LOCAL_MACHINE\\\\Software\\\\A,B\", \"value\": \"v\", \"data\": "
        "\"say \\\"x\\\"\", \"safety\": \"Safe\", \"reason\": \"gone\", \"returnedAfterFix\": "
        "\"2026-12-01\"}]}\r\n");
}
