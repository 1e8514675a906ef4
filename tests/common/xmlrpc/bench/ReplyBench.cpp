// Measurements of the reply reader, run by hand (never by ctest):
//   common_xmlrpc_bench [offers=10000] [runs=9]
// 1. A getOffersForRecords reply of `offers` offers, written by CPython: our reader (read
//    into values and free them), expat alone with empty handlers on the same bytes,
//    xmlrpc-epi's own parse, and CPython's xmlrpc.client.loads. Goal: within 2x expat alone.
//    Beside them, xmlrpc-epi's setters making the same values with no parse: with expat
//    alone, the floor for any reader that returns these values.
// 2. The daily check's replies (3 channels, 5 offers): time and peak heap of a read.
// 3. Hostile replies: one element of 100,000 to 400,000 attributes (time must grow
//    linearly) and the exponential-entity document (refused at once, heap flat).
extern "C" {
#include <xml_to_xmlrpc.h>
}

#include "common/xmlrpc/Reply.h"

#include "tests/common/xmlrpc/BadReplies.h"
#include "tests/common/xmlrpc/ValueDump.h"
#include "tests/common/xmlrpc/bench/Baselines.h"

#include <expat.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define OVEX_COUNT_HEAP 0  // the sanitizer owns malloc
#else
#define OVEX_COUNT_HEAP 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

bool isCounting()
{
    return counting.load(std::memory_order_relaxed);
}

void noteHeap(long long delta)
{
    const long long now = liveBytes.fetch_add(delta, std::memory_order_relaxed) + delta;
    long long peak = peakBytes.load(std::memory_order_relaxed);
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {}
}

}  // namespace

#if OVEX_COUNT_HEAP
// Every allocation of the process, xmlrpc-epi's and expat's included, passes here, so a
// read's peak heap can be told without a profiler. Outside a peak's measurement it asks
// nothing more of the allocator: the timed reads make hundreds of thousands of calls.
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t n)
{
    void* p = __libc_malloc(n);
    if (p != nullptr && isCounting())
        noteHeap((long long)malloc_usable_size(p));
    return p;
}
void free(void* p)
{
    if (p != nullptr && isCounting())
        noteHeap(-(long long)malloc_usable_size(p));
    __libc_free(p);
}
void* calloc(size_t n, size_t size)
{
    void* p = __libc_calloc(n, size);
    if (p != nullptr && isCounting())
        noteHeap((long long)malloc_usable_size(p));
    return p;
}
void* realloc(void* old, size_t n)
{
    if (!isCounting())
        return __libc_realloc(old, n);
    const long long before = old != nullptr ? (long long)malloc_usable_size(old) : 0;
    void* p = __libc_realloc(old, n);
    if (p != nullptr)
        noteHeap((long long)malloc_usable_size(p) - before);
    else if (n == 0)
        noteHeap(-before);
    return p;
}
}
#endif

namespace {

using xmlrpcbench::expatAlone;
using xmlrpcbench::kMakeReply;
using xmlrpcbench::kTimePython;

const char* const kMakeChannels = R"(
import sys, xmlrpc.client
channels = [{"name": n} for n in ["news", "offers", "critical_updates"]]
open(sys.argv[1], "w", encoding="utf-8").write(xmlrpc.client.dumps((channels,), methodresponse=True))
)";

namespace fs = std::filesystem;

std::string shellQuoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string runPython(const char* script, const std::vector<std::string>& args)
{
    std::string command = "python3 -c " + shellQuoted(script);
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        if (::pclose(pipe) != 0)
            out.clear();
    }
    return out;
}

QByteArray readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

struct Timing {
    double best = 0, median = 0;  // milliseconds
};

// A freed tree of values leaves its small chunks in malloc's fast bins; the next large
// allocation sorts them all. One is made inside each run, so that cost falls in the run
// that freed them, whatever is timed next.
void settleHeap()
{
    constexpr size_t kLarge = 64 * 1024;  // a large-bin request, well under the mmap threshold
    if (void* p = std::malloc(kLarge)) {
        static_cast<volatile char*>(p)[0] = 0;
        std::free(p);
    }
}

Timing timeRuns(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        settleHeap();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

// The heap a call holds at its worst, beyond what was held before it.
long long peakHeap(const std::function<void()>& work)
{
    liveBytes = 0;
    peakBytes = 0;
    counting = true;
    work();
    counting = false;
    return peakBytes;
}

// The values a read makes, in the order it makes them, so that xmlrpc-epi's setters can make
// them again without a parse: what any reader returning these values pays beside expat.
struct Made {
    XMLRPC_VALUE_TYPE type = xmlrpc_none;
    XMLRPC_VECTOR_TYPE vector = xmlrpc_vector_none;
    int children = 0;
    std::string id, text;
    int number = 0;
    double real = 0;
};

void flatten(XMLRPC_VALUE value, std::vector<Made>* out)
{
    Made m;
    m.type = XMLRPC_GetValueType(value);
    if (const char* id = XMLRPC_GetValueID(value))
        m.id = id;
    switch (m.type) {
    case xmlrpc_vector: {
        m.vector = XMLRPC_GetVectorType(value);
        const size_t at = out->size();
        out->push_back(std::move(m));
        int children = 0;
        for (XMLRPC_VALUE child = XMLRPC_VectorRewind(value); child != nullptr; child = XMLRPC_VectorNext(value)) {
            flatten(child, out);
            ++children;
        }
        (*out)[at].children = children;
        return;
    }
    case xmlrpc_string:
    case xmlrpc_base64: m.text.assign(XMLRPC_GetValueString(value), size_t(XMLRPC_GetValueStringLen(value))); break;
    case xmlrpc_datetime:
        if (const char* text = XMLRPC_GetValueDateTime_ISO8601(value))
            m.text = text;
        break;
    case xmlrpc_int: m.number = XMLRPC_GetValueInt(value); break;
    case xmlrpc_boolean: m.number = XMLRPC_GetValueBoolean(value); break;
    case xmlrpc_double: m.real = XMLRPC_GetValueDouble(value); break;
    default: break;
    }
    out->push_back(std::move(m));
}

XMLRPC_VALUE remake(const std::vector<Made>& made, size_t* at)
{
    const Made& m = made[(*at)++];
    XMLRPC_VALUE value = XMLRPC_CreateValueEmpty();
    if (!m.id.empty())
        XMLRPC_SetValueID_Case(value, m.id.c_str(), int(m.id.size()), xmlrpc_case_exact);
    switch (m.type) {
    case xmlrpc_vector:
        XMLRPC_SetIsVector(value, m.vector);
        for (int i = 0; i < m.children; ++i)
            XMLRPC_AddValueToVector(value, remake(made, at));
        break;
    case xmlrpc_string: XMLRPC_SetValueString(value, m.text.data(), int(m.text.size())); break;
    case xmlrpc_base64: XMLRPC_SetValueBase64(value, m.text.data(), int(m.text.size())); break;
    case xmlrpc_datetime: XMLRPC_SetValueDateTime_ISO8601(value, m.text.c_str()); break;
    case xmlrpc_int: XMLRPC_SetValueInt(value, m.number); break;
    case xmlrpc_boolean: XMLRPC_SetValueBoolean(value, m.number); break;
    case xmlrpc_double: XMLRPC_SetValueDouble(value, m.real); break;
    default: break;
    }
    return value;
}

bool ourRead(const QByteArray& xml)
{
    return xmlrpc::Reply::Read(xml.constData(), size_t(xml.size())).usable;  // the value is freed here too
}

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench: %s failed\n", what);
        std::exit(1);
    }
}

void printHeap(const char* label, const std::function<void()>& work)
{
    if (!OVEX_COUNT_HEAP) {
        std::printf("%-44s peak heap not measured under the sanitizer\n", label);
        return;
    }
    std::printf("%-44s peak heap %.1f KiB\n", label, double(peakHeap(work)) / 1024);
}

}  // namespace

int main(int argc, char** argv)
{
    const int offers = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
    std::string pattern = (fs::temp_directory_path() / "ovex-xmlrpc-bench-XXXXXX").string();
    check(::mkdtemp(pattern.data()) != nullptr, "making a temporary folder");
    const fs::path dir = pattern;

    // ---- The large reply ----
    const fs::path replyFile = dir / "offers.xml";
    check(runPython(kMakeReply, {replyFile.string(), std::to_string(offers)}) == "" && fs::exists(replyFile),
          "writing the reply with CPython");
    const QByteArray reply = readFile(replyFile);
    const std::string py = runPython(kTimePython, {replyFile.string(), std::to_string(runs)});
    double pyBest = 0, pyMedian = 0;
    check(std::sscanf(py.c_str(), "%lf %lf", &pyBest, &pyMedian) == 2, "timing CPython");

    check(ourRead(reply) && expatAlone(reply), "reading the reply");
    const Timing ours = timeRuns(runs, [&] { ourRead(reply); });
    const Timing expat = timeRuns(runs, [&] { expatAlone(reply); });
    const Timing library = timeRuns(runs, [&] {
        XMLRPC_REQUEST r = XMLRPC_REQUEST_FromXML(reply.constData(), int(reply.size()), nullptr);
        XMLRPC_RequestFree(r, 1);
    });
    std::vector<Made> made;
    {
        const xmlrpc::Reply read = xmlrpc::Reply::Read(reply.constData(), size_t(reply.size()));
        flatten(read.value.get(), &made);
        size_t at = 0;
        const xmlrpc::Value remade(remake(made, &at));
        check(xmlrpctest::dump(remade.get()) == xmlrpctest::dump(read.value.get()), "making the reply's values again");
    }
    const Timing values = timeRuns(runs, [&] {
        size_t at = 0;
        XMLRPC_CleanupValue(remake(made, &at));
    });
    std::printf("reply: %d offers, %.2f MB, best and median of %d runs\n", offers, double(reply.size()) / 1e6, runs);
    std::printf("  ours: read into values and free them     best %7.2f ms  median %7.2f ms\n", ours.best, ours.median);
    std::printf("  expat alone, empty handlers              best %7.2f ms  median %7.2f ms\n", expat.best,
                expat.median);
    std::printf("  xmlrpc-epi's own parse and free          best %7.2f ms  median %7.2f ms\n", library.best,
                library.median);
    std::printf("  CPython xmlrpc.client.loads              best %7.2f ms  median %7.2f ms\n", pyBest * 1000,
                pyMedian * 1000);
    std::printf("  xmlrpc-epi's setters alone, same values  best %7.2f ms  median %7.2f ms\n", values.best,
                values.median);
    const double floor = expat.best + values.best;
    std::printf("  floor, expat alone + the setters alone:  best %7.2f ms (%.2fx expat alone); ours / floor: %.2fx\n",
                floor, floor / expat.best, ours.best / floor);
    const double ratio = ours.best / expat.best;
    std::printf("  ours / expat alone (best): %.2fx (goal: at most 2x) %s; CPython / ours: %.1fx\n", ratio,
                ratio <= 2 ? "MET" : "NOT MET", pyBest * 1000 / ours.best);
    printHeap("  ours, the whole read:", [&] { ourRead(reply); });

    // ---- The daily check ----
    const fs::path dailyOffers = dir / "daily-offers.xml", channels = dir / "channels.xml";
    check(
        runPython(kMakeReply, {dailyOffers.string(), "5"}) == "" && runPython(kMakeChannels, {channels.string()}) == "",
        "writing the daily replies");
    std::printf("daily check, best and median of %d runs\n", runs * 100);
    for (const auto& [label, file] : {std::pair{"getChannelsForMfgr, 3 channels", channels},
                                      std::pair{"getOffersForRecords, 5 offers", dailyOffers}}) {
        const QByteArray xml = readFile(file);
        check(ourRead(xml), label);
        const Timing t = timeRuns(runs * 100, [&] { ourRead(xml); });
        std::printf("  %-32s %5lld bytes  best %6.1f us  median %6.1f us\n", label, (long long)xml.size(),
                    t.best * 1000, t.median * 1000);
        printHeap(("  " + std::string(label) + ":").c_str(), [&] { ourRead(xml); });
    }

    // ---- Hostile replies ----
    std::printf("hostile replies (refused or read; best of %d runs)\n", runs);
    for (int count : {100000, 200000, 400000}) {
        const QByteArray xml = xmlrpctest::manyAttributes(count);
        check(ourRead(xml), "reading many attributes");
        const Timing t = timeRuns(runs, [&] { ourRead(xml); });
        const Timing e = timeRuns(runs, [&] { expatAlone(xml); });
        std::printf("  %6d attributes on one element, %5.2f MB: ours %7.1f ms (%.1f ns/byte), expat alone %7.1f ms\n",
                    count, double(xml.size()) / 1e6, t.best, t.best * 1e6 / double(xml.size()), e.best);
    }
    const QByteArray laughs = xmlrpctest::billionLaughs();
    check(!ourRead(laughs), "refusing the exponential-entity document");
    const Timing t = timeRuns(runs, [&] { ourRead(laughs); });
    std::printf("  exponential-entity document, %lld bytes: refused in %.3f ms\n", (long long)laughs.size(), t.best);
    printHeap("  exponential-entity document:", [&] { ourRead(laughs); });

    fs::remove_all(dir);
    return ratio <= 2 ? 0 : 2;
}
