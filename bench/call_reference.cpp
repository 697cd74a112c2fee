// The reference file: a small header, the outcome of the recorded scan, then its calls with each
// distinct text stored once. Written and read by this program only, on one machine.
#include "bench/call_reference.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "common/text.h"

namespace mdr::bench {
namespace {

constexpr char kMagic[8] = {'M', 'D', 'R', 'C', 'A', 'L', 'L', '2'};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

class Writer {
  public:
    explicit Writer(FILE* f) : f_(f) {}
    void Bytes(const void* p, size_t n) { ok_ = ok_ && std::fwrite(p, 1, n, f_) == n; }
    template <typename T> void Pod(const T& v) { Bytes(&v, sizeof v); }
    void Text(std::wstring_view s) {
        Pod(static_cast<uint32_t>(s.size()));
        Bytes(s.data(), s.size() * sizeof(wchar_t));
    }
    bool Ok() const { return ok_; }

  private:
    FILE* f_;
    bool ok_ = true;
};

class Reader {
  public:
    explicit Reader(FILE* f) : f_(f) {}
    void Bytes(void* p, size_t n) { ok_ = ok_ && std::fread(p, 1, n, f_) == n; }
    template <typename T> T Pod() {
        T v{};
        Bytes(&v, sizeof v);
        return v;
    }
    std::wstring Text() {
        uint32_t n = Pod<uint32_t>();
        if (!ok_ || n > (1u << 24)) {
            ok_ = false;
            return L"";
        }
        std::wstring s(n, L'\0');
        Bytes(s.data(), n * sizeof(wchar_t));
        return s;
    }
    bool Ok() const { return ok_; }

  private:
    FILE* f_;
    bool ok_ = true;
};

void PutSize(Writer& w, const MachineSize& s) {
    for (int v : {s.classes, s.interfaces, s.uninstall, s.services, s.vendors, s.mru, s.startup,
                  s.extensions})
        w.Pod(static_cast<int32_t>(v));
    w.Pod(s.brokenPercent);
    w.Pod(static_cast<uint32_t>(s.seed));
}

MachineSize GetSize(Reader& r) {
    MachineSize s;
    for (int* v : {&s.classes, &s.interfaces, &s.uninstall, &s.services, &s.vendors, &s.mru,
                   &s.startup, &s.extensions})
        *v = r.Pod<int32_t>();
    s.brokenPercent = r.Pod<double>();
    s.seed = r.Pod<uint32_t>();
    return s;
}

} // namespace

std::wstring WithoutTag(std::wstring_view text, std::wstring_view tag) {
    if (tag.empty() || FindNoCase(text, tag) == std::wstring::npos) return std::wstring(text);
    return ReplaceAllNoCase(text, tag, L"MDRBench-#");
}

bool SameMachine(const MachineSize& a, const MachineSize& b) {
    return a.classes == b.classes && a.interfaces == b.interfaces && a.uninstall == b.uninstall &&
           a.services == b.services && a.vendors == b.vendors && a.mru == b.mru &&
           a.startup == b.startup && a.extensions == b.extensions &&
           a.brokenPercent == b.brokenPercent && a.seed == b.seed;
}

bool SaveReference(const std::wstring& path, const Reference& ref) {
    File f(_wfopen(path.c_str(), L"wb"));
    if (!f) return false;
    Writer w(f.get());
    w.Bytes(kMagic, sizeof kMagic);
    PutSize(w, ref.size);
    w.Text(ref.tag);
    const ScanOutcome& o = ref.outcome;
    w.Pod(static_cast<uint64_t>(o.items));
    w.Pod(static_cast<uint64_t>(o.itemsHash));
    w.Pod(static_cast<uint32_t>(o.areaErrors.size()));
    for (int e : o.areaErrors)
        w.Pod(static_cast<int32_t>(e));
    w.Pod(static_cast<uint32_t>(o.findings.size()));
    for (const std::wstring& line : o.findings)
        w.Text(line);

    // Each distinct text once; the calls refer to it by its new number.
    const Recording& rec = ref.calls;
    std::unordered_map<std::wstring_view, uint32_t> numbers;
    std::vector<uint32_t> renumbered(rec.texts.size());
    std::vector<const std::wstring*> distinct;
    for (size_t i = 0; i < rec.texts.size(); ++i) {
        auto [it, added] =
            numbers.try_emplace(rec.texts[i], static_cast<uint32_t>(distinct.size()));
        if (added) distinct.push_back(&rec.texts[i]);
        renumbered[i] = it->second;
    }
    w.Pod(static_cast<uint32_t>(distinct.size()));
    for (const std::wstring* text : distinct)
        w.Text(*text);
    w.Pod(rec.keySlots);
    w.Pod(rec.findSlots);
    w.Pod(static_cast<uint64_t>(rec.yields));
    w.Pod(static_cast<uint64_t>(rec.ops.size()));
    for (Op op : rec.ops) {
        if (op.text != kNoText) op.text = renumbered[op.text];
        if (op.text2 != kNoText) op.text2 = renumbered[op.text2];
        w.Pod(op);
    }
    return w.Ok() && std::fflush(f.get()) == 0;
}

bool LoadReference(const std::wstring& path, const std::wstring& tag, Reference& ref,
                   std::string& why) {
    File f(_wfopen(path.c_str(), L"rb"));
    if (!f) {
        why = "cannot open " + ToUtf8(path);
        return false;
    }
    Reader r(f.get());
    char magic[sizeof kMagic] = {};
    r.Bytes(magic, sizeof magic);
    if (!r.Ok() || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        why = "not a reference file of this benchmark";
        return false;
    }
    ref.size = GetSize(r);
    ref.tag = r.Text();
    ScanOutcome& o = ref.outcome;
    o.items = r.Pod<uint64_t>();
    o.itemsHash = r.Pod<uint64_t>();
    o.areaErrors.resize(std::min<uint32_t>(r.Pod<uint32_t>(), 64));
    for (int& e : o.areaErrors)
        e = r.Pod<int32_t>();
    uint32_t findings = r.Pod<uint32_t>();
    for (uint32_t i = 0; i < findings && r.Ok(); ++i)
        o.findings.push_back(r.Text());

    Recording& rec = ref.calls;
    uint32_t texts = r.Pod<uint32_t>();
    for (uint32_t i = 0; i < texts && r.Ok(); ++i) {
        std::wstring text = r.Text();
        // The planted names of this run carry this run's id.
        if (!ref.tag.empty() && FindNoCase(text, ref.tag) != std::wstring::npos)
            text = ReplaceAllNoCase(text, ref.tag, tag);
        rec.texts.push_back(std::move(text));
    }
    rec.keySlots = r.Pod<uint32_t>();
    rec.findSlots = r.Pod<uint32_t>();
    rec.yields = r.Pod<uint64_t>();
    uint64_t ops = r.Pod<uint64_t>();
    if (!r.Ok() || ops > (1ull << 28)) {
        why = "the file is cut short";
        return false;
    }
    rec.ops.resize(ops);
    r.Bytes(rec.ops.data(), ops * sizeof(Op));
    if (!r.Ok()) {
        why = "the file is cut short";
        return false;
    }
    return true;
}

} // namespace mdr::bench
