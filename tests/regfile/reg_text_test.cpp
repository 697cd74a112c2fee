// The text of .reg backups, line by line.
#include <gtest/gtest.h>

#include <vector>

#include "regfile/reg_text.h"
#include "tests/support/registry_snapshot.h"

using namespace mdr;

namespace {

std::vector<BYTE> Sequence(size_t n) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>(i + 1);
    return bytes;
}

using mdr::test::Sz;
using mdr::test::Utf16;

std::wstring Line(std::wstring_view name, DWORD type, const std::vector<BYTE>& data) {
    return RegValueLine(name, type, data.data(), data.size());
}

} // namespace

TEST(RegText, HeaderLines) {
    EXPECT_EQ(RegFileHeader(L"1.0 BETA (32 bit edition)"),
              L"Windows Registry Editor Version 5.00\r\n"
              L"\r\n"
              L";Created by Veltrane Mendora v1.0 BETA (32 bit edition)\r\n"
              L";Do not remove this file, it can restore changes to the registry\r\n"
              L"\r\n");
}

TEST(RegText, WrapsAfterEveryTwentyBytesButNeverBeforeTheLast) {
    auto wrapped = [](size_t n) {
        auto bytes = Sequence(n);
        return WrapHexList(BytesToHexList(bytes.data(), bytes.size()));
    };
    const std::wstring first20 = L"01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14";
    const std::wstring next20 = L"15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28";

    EXPECT_EQ(wrapped(0), L"");
    EXPECT_EQ(wrapped(20), first20);
    EXPECT_EQ(wrapped(21), first20 + L",15");
    // The comma stays before the backslash: the registry editor needs it to read on.
    EXPECT_EQ(wrapped(22), first20 + L",\\\r\n  15,16");
    EXPECT_EQ(wrapped(41), first20 + L",\\\r\n  " + next20 + L",29");
    EXPECT_EQ(wrapped(42), first20 + L",\\\r\n  " + next20 + L",\\\r\n  29,2a");
}

TEST(RegText, KeyLinesVerbatimValueNamesEscaped) {
    EXPECT_EQ(RegKeyLine(L"HKEY_CURRENT_USER", L"Software\\a\"b"),
              L"[HKEY_CURRENT_USER\\Software\\a\"b]");
    EXPECT_EQ(RegKeyLine(L"HKEY_LOCAL_MACHINE", L"Software\\[x]]\\\u00c4\u0416"),
              L"[HKEY_LOCAL_MACHINE\\Software\\[x]]\\\u00c4\u0416]");
    EXPECT_EQ(RegKeyLine(L"HKEY_CLASSES_ROOT", L".txt\\"), L"[HKEY_CLASSES_ROOT\\.txt]");
    EXPECT_EQ(RegKeyLine(L"HKEY_USERS", L""), L"[HKEY_USERS]");
    EXPECT_TRUE(RegKeyPathWritable(L"a\"b\\[c]\\ d "));
    EXPECT_FALSE(RegKeyPathWritable(L"a\nb"));
    EXPECT_FALSE(RegKeyPathWritable(L"a\rb"));
    // Value names are quoted and escaped; a line break must not end the line, as it could
    // smuggle lines into the import.
    EXPECT_EQ(RegValueNameField(L""), L"@");
    EXPECT_EQ(RegValueNameField(L"@"), L"\"@\"");
    EXPECT_EQ(RegValueNameField(L"a\"b\\c"), L"\"a\\\"b\\\\c\"");
    EXPECT_EQ(RegValueNameField(L"x\r\n\"y\"=dword:1"), L"\"x\\r\\n\\\"y\\\"=dword:1\"");
    EXPECT_EQ(RegValueNameField(L"tab\there"), L"\"tab\there\"");
}

TEST(RegText, StringsQuotedOnlyWhenQuotingKeepsThemExact) {
    EXPECT_EQ(Line(L"", REG_SZ, Sz(L"C:\\Program Files\\\"x\".exe")),
              L"@=\"C:\\\\Program Files\\\\\\\"x\\\".exe\"");
    EXPECT_EQ(Line(L"e", REG_SZ, Sz(L"")), L"\"e\"=\"\"");
    EXPECT_EQ(Line(L"u", REG_SZ, Sz(L"\u00e4\u0416\u9375\U0001F600")),
              L"\"u\"=\"\u00e4\u0416\u9375\U0001F600\"");

    // Zero size, line breaks, control characters, embedded NULs, a missing NUL, an odd size.
    EXPECT_EQ(Line(L"z", REG_SZ, {}), L"\"z\"=hex(1):");
    EXPECT_EQ(Line(L"crlf", REG_SZ, Sz(L"a\r\nb")),
              L"\"crlf\"=hex(1):61,00,0d,00,0a,00,62,00,00,00");
    EXPECT_EQ(Line(L"t", REG_SZ, Sz(L"\t")), L"\"t\"=hex(1):09,00,00,00");
    EXPECT_EQ(Line(L"n", REG_SZ, Utf16(std::wstring(L"a\0b\0", 4))),
              L"\"n\"=hex(1):61,00,00,00,62,00,00,00");
    EXPECT_EQ(Line(L"o", REG_SZ, Utf16(L"ab")), L"\"o\"=hex(1):61,00,62,00");
    EXPECT_EQ(Line(L"odd", REG_SZ, {0x61, 0x00, 0x00}), L"\"odd\"=hex(1):61,00,00");
}

TEST(RegText, DwordFormOnlyForFourBytes) {
    EXPECT_EQ(Line(L"max", REG_DWORD, mdr::test::Dword(4294967295u)), L"\"max\"=dword:ffffffff");
    EXPECT_EQ(Line(L"ten", REG_DWORD, mdr::test::Dword(10)), L"\"ten\"=dword:0000000a");
    EXPECT_EQ(Line(L"empty", REG_DWORD, {}), L"\"empty\"=hex(4):");
    EXPECT_EQ(Line(L"two", REG_DWORD, {0x0a, 0x00}), L"\"two\"=hex(4):0a,00");
    EXPECT_EQ(Line(L"eight", REG_DWORD, Sequence(8)), L"\"eight\"=hex(4):01,02,03,04,05,06,07,08");
}

TEST(RegText, EveryOtherTypeAsHexWithItsNumber) {
    EXPECT_EQ(Line(L"b", REG_BINARY, {0xde, 0xad}), L"\"b\"=hex:de,ad");
    EXPECT_EQ(Line(L"none", REG_NONE, {}), L"\"none\"=hex(0):");
    EXPECT_EQ(Line(L"none1", REG_NONE, {0x01}), L"\"none1\"=hex(0):01");
    EXPECT_EQ(Line(L"x", REG_EXPAND_SZ, Sz(L"%a%")), L"\"x\"=hex(2):25,00,61,00,25,00,00,00");
    EXPECT_EQ(Line(L"m", REG_MULTI_SZ, Utf16(std::wstring(L"a\0\0", 3))),
              L"\"m\"=hex(7):61,00,00,00,00,00");
    EXPECT_EQ(Line(L"be", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}), L"\"be\"=hex(5):00,00,00,01");
    EXPECT_EQ(Line(L"l", REG_LINK, {0x41, 0}), L"\"l\"=hex(6):41,00");
    EXPECT_EQ(Line(L"r", REG_RESOURCE_LIST, {1}), L"\"r\"=hex(8):01");
    EXPECT_EQ(Line(L"q", REG_QWORD, Sequence(8)), L"\"q\"=hex(b):01,02,03,04,05,06,07,08");
    EXPECT_EQ(Line(L"c", 0x12345, {0xff}), L"\"c\"=hex(12345):ff");
    EXPECT_EQ(Line(L"c", 0xFFFFFFFFu, {}), L"\"c\"=hex(ffffffff):");

    // The first line also holds the name and the prefix; continuation lines start with two
    // spaces.
    auto bytes = Sequence(22);
    EXPECT_EQ(Line(L"long", REG_BINARY, bytes),
              L"\"long\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
              L"  15,16");
}
