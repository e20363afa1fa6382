// Translation files over 10^4 texts: saving and loading the INI text of all
// lists, and reading the owner's component out of an .LCB file.
#include "localization/lcFiles.h"

#include <QObject>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kFileEntries = 10000;

class TfBenchForm : public QObject {
public:
    TfBenchForm()
    {
        SetOwnerRoot(this);
        setObjectName("fBench");
    }
};

struct TFilled {
    TfBenchForm Form;
    TlcLang* Lang = new TlcLang(&Form);

    TFilled()
    {
        Lang->SetLangNames({"Deutsch", "English"});
        TlcStringList strings;
        for (int n = 0; n < kFileEntries; ++n)
            strings.Add("IDS_" + std::to_string(n) + '\x01' + "Text Nummer " + std::to_string(n) + '\x01' +
                        "Text number " + std::to_string(n) + '\x01');
        *Lang->GetListByType(TStringsType::stStrings) = strings;
    }
};

void BM_SaveAllToIni(benchmark::State& state)
{
    TFilled filled;
    for (auto _ : state) {
        std::string stream;
        TlcTranslationFiles(*filled.Lang).SaveAllToIni(stream, lcDefaultFileDelimiter);
        benchmark::DoNotOptimize(stream);
    }
    state.SetItemsProcessed(state.iterations() * kFileEntries);
}
BENCHMARK(BM_SaveAllToIni)->Unit(benchmark::kMillisecond);

void BM_LoadAllFromIni(benchmark::State& state)
{
    TFilled filled;
    std::string stream;
    TlcTranslationFiles(*filled.Lang).SaveAllToIni(stream, lcDefaultFileDelimiter);
    TFilled target;
    for (auto _ : state)
        TlcTranslationFiles(*target.Lang).LoadAllFromIni(stream, true, true);
    state.SetItemsProcessed(state.iterations() * kFileEntries);
    state.counters["bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_LoadAllFromIni)->Unit(benchmark::kMillisecond);

void BM_ReadComponentFromLCB(benchmark::State& state)
{
    TFilled filled;
    const std::string file = BuildLCBFile({}, {{"TfOther", WriteComponentStream(*filled.Lang)},
                                               {ClassNameOf(&filled.Form), WriteComponentStream(*filled.Lang)}});
    TFilled target;
    for (auto _ : state) {
        TLCBFileManager manager;
        manager.ReadComponent(*target.Lang, ClassNameOf(&filled.Form), file);
    }
    state.SetItemsProcessed(state.iterations() * kFileEntries);
    state.counters["bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_ReadComponentFromLCB)->Unit(benchmark::kMillisecond);

} // namespace
