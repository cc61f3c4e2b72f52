// How well the first draft of a table's fields finds the true layout of the labelled corpus
// (InferenceCorpus): per file, boundary recall (true field starts the draft has), boundary
// precision (draft field starts that are true) and type accuracy over the fields no key covers
// (the draft has a field of that offset and size, of the true type), with the time one draft
// takes. The draft reads the first 10,000 records, as `quillan-cli infer` does by default. Files
// of several kinds of record are scored per kind against the draft of that kind's variant, or
// against the one draft when the inference gives none. Goal: recall >= 0.95, precision >= 0.85,
// type accuracy >= 0.85 over the corpus.
// Run: build/bench/dictionary/inference_eval (QUILLAN_CORPUS_SEED=N draws other files of the
// same plan; QUILLAN_EVAL_DETAIL=NAME prints one file's true layouts beside its drafts).
// whole_file/NAME times the draft and variants of every record of the largest file.
#include "FieldInference.h"
#include "InferenceCorpus.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

constexpr std::size_t kSample = 10000;

struct Score {
    double trueStarts = 0, foundStarts = 0, proposedStarts = 0, rightStarts = 0;
    double typed = 0, typedRight = 0;

    void add(const Score& o, double weight)
    {
        trueStarts += weight * o.trueStarts;
        foundStarts += weight * o.foundStarts;
        proposedStarts += weight * o.proposedStarts;
        rightStarts += weight * o.rightStarts;
        typed += weight * o.typed;
        typedRight += weight * o.typedRight;
    }
    double recall() const { return trueStarts ? foundStarts / trueStarts : 1; }
    double precision() const { return proposedStarts ? rightStarts / proposedStarts : 1; }
    double typeAccuracy() const { return typed ? typedRight / typed : 1; }
};

Score score(const std::vector<corpus::TrueField>& truth, const std::vector<dict::InferredField>& draft)
{
    Score s;
    std::set<int> trueStarts, proposed;
    for (const corpus::TrueField& f : truth)
        if (f.offset > 0)
            trueStarts.insert(f.offset);
    for (const dict::InferredField& f : draft)
        if (f.offset > 0)
            proposed.insert(f.offset);
    s.trueStarts = double(trueStarts.size());
    s.proposedStarts = double(proposed.size());
    for (int o : trueStarts)
        s.foundStarts += proposed.count(o);
    s.rightStarts = s.foundStarts;
    for (const corpus::TrueField& f : truth) {
        if (f.key)
            continue;
        s.typed += 1;
        for (const dict::InferredField& d : draft)
            if (d.offset == f.offset && d.size == f.size && corpus::sameType(f, d.typeCode, d.name))
                s.typedRight += 1;
    }
    return s;
}

struct Sampled {
    dict::InferenceInput input;
    std::vector<int> kindOf;
};

Sampled sampleOf(const corpus::CorpusFile& f)
{
    Sampled s;
    s.input.recordLength = f.recordLength;
    s.input.count = std::min(f.count, kSample);
    s.input.records = std::span<const uint8_t>(f.bytes).first(s.input.count * f.recordLength);
    s.input.keySegments = f.keys;
    s.kindOf.assign(f.kindOf.begin(), f.kindOf.begin() + std::ptrdiff_t(s.input.count));
    return s;
}

// The score of a file: each kind of record weighted by its share of the sample.
Score scoreFile(const corpus::CorpusFile& f, const Sampled& s)
{
    const std::vector<dict::InferredField> draft = dict::inferFields(s.input);
    const dict::InferredVariants variants = dict::inferVariants(s.input);
    Score total;
    for (std::size_t k = 0; k < f.kinds.size(); ++k) {
        const double share =
            double(std::count(s.kindOf.begin(), s.kindOf.end(), int(k))) / double(s.kindOf.size());
        if (share == 0)
            continue;
        // The variant holding most of this kind's records, if the inference split the file.
        const std::vector<dict::InferredField>* kindDraft = &draft;
        std::size_t best = 0;
        for (const dict::InferredVariant& v : variants.variants) {
            std::size_t mine = 0;
            for (std::size_t r : v.records)
                mine += s.kindOf[r] == int(k);
            if (mine > best) {
                best = mine;
                kindDraft = &v.fields;
            }
        }
        total.add(score(f.kinds[k], *kindDraft), share);
    }
    return total;
}

Score gCorpus;

// With QUILLAN_EVAL_DETAIL=NAME, the true layouts of that file beside its drafts.
void printDetail(const corpus::CorpusFile& f, const Sampled& s)
{
    const char* wanted = std::getenv("QUILLAN_EVAL_DETAIL");
    if (!wanted || f.name != wanted)
        return;
    for (std::size_t k = 0; k < f.kinds.size(); ++k) {
        std::printf("kind %zu:", k);
        for (const corpus::TrueField& t : f.kinds[k])
            std::printf(" %d+%d:%d%s%s", t.offset, t.size, t.typeCode, t.key ? "k" : "", t.filler ? "f" : "");
        std::printf("\n");
    }
    auto show = [](const std::vector<dict::InferredField>& fields) {
        for (const dict::InferredField& d : fields)
            std::printf("  %4d %4d %4d %-12s %.2f %s\n", d.offset, d.size, d.typeCode, d.name.c_str(),
                        d.confidence, d.reason.c_str());
    };
    std::printf("draft:\n");
    show(dict::inferFields(s.input));
    for (const dict::InferredVariant& v : dict::inferVariants(s.input).variants) {
        std::vector<std::size_t> ofKind(f.kinds.size());
        for (std::size_t r : v.records)
            ++ofKind[std::size_t(s.kindOf[r])];
        std::printf("variant %s (%zu records; of each kind:", v.tag.c_str(), v.records.size());
        for (std::size_t n : ofKind)
            std::printf(" %zu", n);
        std::printf("):\n");
        show(v.fields);
    }
}

void evaluate(benchmark::State& state, const corpus::CorpusFile* f)
{
    const Sampled s = sampleOf(*f);
    printDetail(*f, s);
    Score result;
    for (auto _ : state) {
        result = scoreFile(*f, s);
        benchmark::ClobberMemory();
    }
    state.counters["records"] = double(f->count);
    state.counters["kinds"] = double(f->kinds.size());
    state.counters["recall"] = result.recall();
    state.counters["precision"] = result.precision();
    state.counters["typeAcc"] = result.typeAccuracy();
    gCorpus.add(result, 1);
    std::printf(
        "%-18s records %6zu  length %4zu  kinds %zu  recall %.3f  precision %.3f  type accuracy %.3f\n",
        f->name.c_str(), f->count, f->recordLength, f->kinds.size(), result.recall(), result.precision(),
        result.typeAccuracy());
}

// The draft and the variants of every record of a file (`infer --sample 0`), timed.
void draftWholeFile(benchmark::State& state, const corpus::CorpusFile* f)
{
    dict::InferenceInput in;
    in.recordLength = f->recordLength;
    in.count = f->count;
    in.records = f->bytes;
    in.keySegments = f->keys;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dict::inferFields(in));
        benchmark::DoNotOptimize(dict::inferVariants(in));
    }
    state.counters["records"] = double(f->count);
}

} // namespace

int main(int argc, char** argv)
{
    const char* seed = std::getenv("QUILLAN_CORPUS_SEED");
    static const std::vector<corpus::CorpusFile> files =
        corpus::makeCorpus(seed ? uint32_t(std::strtoul(seed, nullptr, 10)) : 1987);
    for (const corpus::CorpusFile& f : files)
        benchmark::RegisterBenchmark(("infer/" + f.name).c_str(), evaluate, &f)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    const auto largest = std::max_element(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.count * a.recordLength < b.count * b.recordLength;
    });
    benchmark::RegisterBenchmark(("whole_file/" + largest->name).c_str(), draftWholeFile, &*largest)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf(
        "corpus (%zu files, fields weighted alike): recall %.3f  precision %.3f  type accuracy %.3f\n",
        files.size(), gCorpus.recall(), gCorpus.precision(), gCorpus.typeAccuracy());
    return 0;
}
