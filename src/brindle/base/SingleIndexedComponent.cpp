#include "brindle/base/SingleIndexedComponent.h"

#include <algorithm>

#include "brindle/base/Diagnostics.h"

namespace {

constexpr uint32_t kIdMask = TsingleIndexedComponent::kIdMask;
constexpr uint32_t kBlockFlag = TsingleIndexedComponent::kBlockFlag;

uint32_t runLength(const TidRun& r) { return r.last - r.first + 1; }

// Appends runs given in increasing order of their first id, joining a run to the previous one
// when they overlap or touch, so that the output is canonical whatever the producer's boundaries.
class TrunWriter {
public:
    explicit TrunWriter(TuInt32Array& out) : fOut(out) {}

    void add(const TidRun& r) {
        if (fPending && r.first <= fRun.last + 1) {
            fRun.last = std::max(fRun.last, r.last);
            return;
        }
        flush();
        fRun = r;
        fPending = true;
    }
    void finish() { flush(); }

    uint32_t fCount = 0;
    uint32_t fRuns = 0;

private:
    void flush() {
        if (!fPending) return;
        fCount += runLength(fRun);
        if (fRun.first == fRun.last) {
            fOut.addLast(fRun.first);
        } else {
            fOut.addLast(fRun.first | kBlockFlag);
            fOut.addLast(fRun.last);
            ++fRuns;
        }
        fPending = false;
    }

    TuInt32Array& fOut;
    TidRun fRun{0, 0};
    bool fPending = false;
};

// Reads the runs of an entry array in order; the end mark is ignored.
class TrunReader {
public:
    explicit TrunReader(const TuInt32Array& entries) : fEntry(entries.begin()), fEnd(entries.end()) { advance(); }

    bool done() const { return fDone; }
    const TidRun& run() const { return fRun; }
    void advance() {
        fDone = fEntry == fEnd;
        if (fDone) return;
        fRun.first = fEntry[0] & kIdMask;
        bool block = (fEntry[0] & kBlockFlag) != 0;
        fRun.last = block ? (fEntry[1] & kIdMask) : fRun.first;
        fEntry += block ? 2 : 1;
    }

private:
    const uint32_t* fEntry;
    const uint32_t* fEnd;
    TidRun fRun{0, 0};
    bool fDone = false;
};

}  // namespace

Tcomponent* TsingleIndexedComponent::newEmpty() const { return new TsingleIndexedComponent; }

bool TsingleIndexedComponent::copyData(const Tcomponent& other) {
    auto* o = dynamic_cast<const TsingleIndexedComponent*>(&other);
    if (!o) return false;
    if (o == this) return true;
    fEntries.copy(o->fEntries);
    fCount = o->fCount;
    fRuns = o->fRuns;
    resetCursor();
    return true;
}

void TsingleIndexedComponent::clear() {
    fEntries.clear();
    fCount = fRuns = 0;
    resetCursor();
}

bool TsingleIndexedComponent::isEqual(const Tcomponent& other) const {
    auto* o = dynamic_cast<const TsingleIndexedComponent*>(&other);
    if (!o || o->fCount != fCount || o->fEntries.size() != fEntries.size()) return false;
    for (uint32_t i = 0; i < fEntries.size(); ++i)
        if ((fEntries[i] ^ o->fEntries[i]) & ~kEndFlag) return false;
    return true;
}

// Runs the merge fn(readerOfThis, readerOfOther, writer) into a fresh entry array that then
// replaces this list's entries; the other list may be this one.
template <typename Combine>
bool TsingleIndexedComponent::combine(const Tcomponent& other, Combine&& fn) {
    auto* o = dynamic_cast<const TsingleIndexedComponent*>(&other);
    if (!o) return false;
    TuInt32Array out;
    out.buffer(fEntries.size() + o->fEntries.size());
    TrunWriter w(out);
    TrunReader a(fEntries), b(o->fEntries);
    fn(a, b, w);
    w.finish();
    fEntries.swap(out);
    fCount = w.fCount;
    fRuns = w.fRuns;
    resetCursor();
    return true;
}

bool TsingleIndexedComponent::merge(const Tcomponent& other) {
    return combine(other, [](TrunReader& a, TrunReader& b, TrunWriter& w) {
        while (!a.done() || !b.done()) {
            TrunReader& r = b.done() || (!a.done() && a.run().first <= b.run().first) ? a : b;
            w.add(r.run());
            r.advance();
        }
    });
}

bool TsingleIndexedComponent::intersection(const Tcomponent& other) {
    return combine(other, [](TrunReader& a, TrunReader& b, TrunWriter& w) {
        while (!a.done() && !b.done()) {
            uint32_t lo = std::max(a.run().first, b.run().first);
            uint32_t hi = std::min(a.run().last, b.run().last);
            if (lo <= hi) w.add({lo, hi});
            (a.run().last < b.run().last ? a : b).advance();
        }
    });
}

bool TsingleIndexedComponent::difference(const Tcomponent& other) {
    return combine(other, [](TrunReader& a, TrunReader& b, TrunWriter& w) {
        for (; !a.done(); a.advance()) {
            TidRun r = a.run();
            // Cut the pieces of b out of r, left to right; b runs ending before r are spent.
            for (;;) {
                while (!b.done() && b.run().last < r.first) b.advance();
                if (b.done() || b.run().first > r.last) {
                    w.add(r);
                    break;
                }
                if (b.run().first > r.first) w.add({r.first, b.run().first - 1});
                if (b.run().last >= r.last) break;
                r.first = b.run().last + 1;
                b.advance();
            }
        }
    });
}

bool TsingleIndexedComponent::intersects(const Tcomponent& other) const {
    auto* o = dynamic_cast<const TsingleIndexedComponent*>(&other);
    if (!o) return false;
    TrunReader a(fEntries), b(o->fEntries);
    while (!a.done() && !b.done()) {
        if (std::max(a.run().first, b.run().first) <= std::min(a.run().last, b.run().last)) return true;
        (a.run().last < b.run().last ? a : b).advance();
    }
    return false;
}

Tcomponent* TsingleIndexedComponent::extractSingle(uint32_t i) const {
    uint32_t id = element(i);
    if (id == kNoId) return nullptr;
    // newEmpty of every derived kind answers a list of that kind, hence of this family.
    Tcomponent* single = newEmpty();
    static_cast<TsingleIndexedComponent*>(single)->addElement(id);
    return single;
}

void TsingleIndexedComponent::debug(TdebugOutput& out) const {
    const char* sep = "";
    for (TrunReader r(fEntries); !r.done(); r.advance()) {
        if (r.run().first == r.run().last)
            out.print("%s%u", sep, r.run().first);
        else
            out.print("%s%u:%u", sep, r.run().first, r.run().last);
        sep = " ";
    }
    out << '\n';
}

void TsingleIndexedComponent::dropEndMark() {
    if (!fEntries.empty()) fEntries.last() &= ~kEndFlag;
}

void TsingleIndexedComponent::markEnd() {
    if (!fEntries.empty()) fEntries.last() |= kEndFlag;
}

uint32_t TsingleIndexedComponent::runAt(uint32_t k, TidRun& run) const {
    run.first = fEntries[k] & kIdMask;
    bool block = (fEntries[k] & kBlockFlag) != 0;
    run.last = block ? (fEntries[k + 1] & kIdMask) : run.first;
    return k + (block ? 2 : 1);
}

uint32_t TsingleIndexedComponent::findRunEnding(uint32_t id) const {
    uint32_t n = fEntries.size();
    if (n == 0 || (fEntries[n - 1] & kIdMask) < id) return n;
    // The last run is the usual answer when ids arrive in increasing order: settle it in O(1).
    uint32_t lastRun = n >= 2 && (fEntries[n - 2] & kBlockFlag) ? n - 2 : n - 1;
    if (lastRun == 0 || (fEntries[lastRun - 1] & kIdMask) < id) return lastRun;
    // Entry values increase strictly, so the first entry not below id is found by bisection; when
    // it closes a run, that run opens one entry earlier.
    const uint32_t* e = std::lower_bound(fEntries.begin(), fEntries.end(), id,
                                         [](uint32_t entry, uint32_t v) { return (entry & kIdMask) < v; });
    uint32_t k = static_cast<uint32_t>(e - fEntries.begin());
    return k > 0 && (fEntries[k - 1] & kBlockFlag) ? k - 1 : k;
}

void TsingleIndexedComponent::splice(uint32_t from, uint32_t to, const TidRun* runs, uint32_t nbRuns) {
    uint32_t enc[4];
    uint32_t m = 0;
    for (uint32_t i = 0; i < nbRuns; ++i) {
        if (runs[i].first == runs[i].last) {
            enc[m++] = runs[i].first;
        } else {
            enc[m++] = runs[i].first | kBlockFlag;
            enc[m++] = runs[i].last;
            ++fRuns;
        }
    }
    for (uint32_t k = from; k < to; ++k)
        if (fEntries[k] & kBlockFlag) --fRuns;
    uint32_t old = to - from;
    uint32_t common = std::min(m, old);
    std::copy(enc, enc + common, fEntries.begin() + from);
    if (old > m) fEntries.removeAt(from + m, old - m);
    for (uint32_t i = common; i < m; ++i) fEntries.insertElement(from + i, enc[i]);
}

bool TsingleIndexedComponent::addElement(uint32_t id) {
    if (id > kIdMask || hasElement(id)) return false;
    addRange(id, id);
    return true;
}

void TsingleIndexedComponent::addRange(uint32_t first, uint32_t last) {
    if (first > last || last > kIdMask) return;
    dropEndMark();
    resetCursor();
    // The first run that overlaps or touches first..last, and every later one that does.
    uint32_t from = findRunEnding(first == 0 ? 0 : first - 1);
    uint32_t to = from;
    TidRun joined{first, last};
    uint32_t absorbed = 0;
    while (to < fEntries.size()) {
        TidRun r;
        uint32_t next = runAt(to, r);
        if (r.first > last + 1) break;
        joined.first = std::min(joined.first, r.first);
        joined.last = std::max(joined.last, r.last);
        absorbed += runLength(r);
        to = next;
    }
    fCount += runLength(joined) - absorbed;
    splice(from, to, &joined, 1);
}

bool TsingleIndexedComponent::removeElement(uint32_t id) {
    if (!hasElement(id)) return false;
    removeRange(id, id);
    return true;
}

void TsingleIndexedComponent::removeRange(uint32_t first, uint32_t last) {
    if (first > last) return;
    uint32_t from = findRunEnding(first);
    uint32_t to = from;
    TidRun keep[2];
    uint32_t nbKeep = 0;
    uint32_t removed = 0;
    while (to < fEntries.size()) {
        TidRun r;
        uint32_t next = runAt(to, r);
        if (r.first > last) break;
        // Only the first run can stick out on the left and only the last on the right.
        if (r.first < first) keep[nbKeep++] = {r.first, first - 1};
        if (r.last > last) keep[nbKeep++] = {last + 1, r.last};
        removed += std::min(r.last, last) - std::max(r.first, first) + 1;
        to = next;
    }
    if (to == from) return;
    dropEndMark();
    resetCursor();
    fCount -= removed;
    splice(from, to, keep, nbKeep);
}

bool TsingleIndexedComponent::hasElement(uint32_t id) const {
    if (id > kIdMask) return false;
    uint32_t k = findRunEnding(id);
    if (k == fEntries.size()) return false;
    TidRun r;
    runAt(k, r);
    return r.first <= id;
}

uint32_t TsingleIndexedComponent::element(uint32_t i) const {
    if (i >= fCount) return kNoId;
    if (fRuns == 0) return fEntries[i] & kIdMask;
    if (i < fCursorBase) resetCursor();
    for (;;) {
        TidRun r;
        uint32_t next = runAt(fCursorEntry, r);
        if (i - fCursorBase < runLength(r)) return r.first + (i - fCursorBase);
        fCursorBase += runLength(r);
        fCursorEntry = next;
    }
}

uint32_t TsingleIndexedComponent::elementMax() const { return fEntries.empty() ? kNoId : fEntries.last() & kIdMask; }

void TsingleIndexedComponent::convertFromFlags(const TbitFieldFixedN& bits) {
    clear();
    TrunWriter w(fEntries);
    uint32_t n = std::min(bits.size(), kIdMask + 1);
    for (uint32_t i = 0; i < n; ++i) {
        if (!bits.testBit(i)) continue;
        uint32_t first = i;
        while (i + 1 < n && bits.testBit(i + 1)) ++i;
        w.add({first, i});
    }
    w.finish();
    fCount = w.fCount;
    fRuns = w.fRuns;
}

void TsingleIndexedComponent::convert2Flags(TbitFieldFixedN& bits) const {
    bits.resetAll();
    for (TrunReader r(fEntries); !r.done() && r.run().first < bits.size(); r.advance()) {
        uint32_t last = std::min(r.run().last, bits.size() - 1);
        for (uint32_t id = r.run().first; id <= last; ++id) bits.setBit(id);
    }
}

void TsingleIndexedComponent::generateStrings(const char* prefix, std::vector<std::string>& strings) const {
    for (TrunReader r(fEntries); !r.done(); r.advance())
        generateRangeString(prefix, r.run().first, r.run().last, strings);
}

TsingleIndexedComponent::Iterator TsingleIndexedComponent::begin() const {
    return Iterator(fEntries.begin(), fEntries.end());
}

TsingleIndexedComponent::Iterator TsingleIndexedComponent::end() const {
    return Iterator(fEntries.end(), fEntries.end());
}
