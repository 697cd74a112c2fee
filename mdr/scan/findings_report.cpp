#include "mdr/scan/findings_report.h"

#include <cstdio>

#include "common/registry.h"
#include "common/text.h"

namespace mdr {

namespace {

std::wstring KeyOf(const DetectedError& e) {
    return RootKeyName(e.root) + L"\\" + e.keyPath;
}

std::wstring AreaOf(const DetectedError& e, const ReportContext& context) {
    const size_t area = static_cast<size_t>(e.areaIndex);
    return area < context.areaNames.size() ? context.areaNames[area] : std::wstring();
}

std::wstring SafetyOf(const DetectedError& e, const ReportContext& context) {
    const size_t grade = e.safety == 1 ? 1 : 0;
    return grade < context.safety.size() ? context.safety[grade] : std::to_wstring(e.safety);
}

} // namespace

std::wstring CsvField(std::wstring_view text) {
    if (text.find_first_of(L",\"\r\n") == std::wstring_view::npos) return std::wstring(text);
    return L"\"" + ReplaceAll(text, L"\"", L"\"\"") + L"\"";
}

std::wstring JsonString(std::wstring_view text) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool pairs =
            high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF && !pairs)) {
            wchar_t code[8];
            swprintf(code, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += code;
        } else {
            out += c;
            if (pairs) out += text[++i];
        }
    }
    return out + L"\"";
}

std::string FindingsCsv(const std::vector<DetectedError>& findings, const ReportContext& context) {
    std::wstring text = L"Computer,Area,Key,Value,Data,Safety,Reason,Returned after fix\r\n";
    for (const DetectedError& e : findings) {
        for (const std::wstring& field : {context.computer, AreaOf(e, context), KeyOf(e),
                                          e.valueName, e.valueData, SafetyOf(e, context)})
            text += CsvField(field) + L",";
        text += CsvField(e.description) + L"," + CsvField(e.fixedBefore) + L"\r\n";
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

std::string FindingsJson(const std::vector<DetectedError>& findings, const ReportContext& context) {
    std::vector<size_t> counts(context.areaNames.size(), 0);
    for (const DetectedError& e : findings)
        if (static_cast<size_t>(e.areaIndex) < counts.size()) ++counts[e.areaIndex];
    std::wstring text = L"{\"computer\": " + JsonString(context.computer) + L", \"date\": " +
                        JsonString(context.date) + L", \"version\": " +
                        JsonString(context.version) + L", \"areas\": {";
    for (size_t i = 0; i < counts.size(); ++i)
        text += (i ? L", " : L"") + JsonString(context.areaNames[i]) + L": " +
                std::to_wstring(counts[i]);
    text += L"}, \"findings\": [";
    for (size_t i = 0; i < findings.size(); ++i) {
        const DetectedError& e = findings[i];
        text += (i ? L",\r\n  {" : L"\r\n  {");
        text += L"\"area\": " + JsonString(AreaOf(e, context)) + L", \"key\": " +
                JsonString(KeyOf(e)) + L", \"value\": " + JsonString(e.valueName) +
                L", \"data\": " + JsonString(e.valueData) + L", \"safety\": " +
                JsonString(SafetyOf(e, context)) + L", \"reason\": " + JsonString(e.description) +
                L", \"returnedAfterFix\": " + JsonString(e.fixedBefore) + L"}";
    }
    return ToUtf8(text + L"]}\r\n");
}

} // namespace mdr
