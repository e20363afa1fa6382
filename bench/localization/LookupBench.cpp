// Look-ups by identifier over 10^4 texts, through the sorted index and by a
// scan of the lines, and a language switch over 20 linked forms.
#include "localization/lcLngLnk.h"

#include <QObject>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 10000;

std::string Entry(int n)
{
    return "IDS_" + std::to_string(n) + '\x01' + "Text Nummer " + std::to_string(n) + '\x01' + "Text number "
        + std::to_string(n) + '\x01';
}

struct TDataModule {
    QObject Module;
    TlcLangDispatcher* Dispatcher;
    TlcLang* Lang;

    TDataModule()
    {
        SetOwnerRoot(&Module);
        Dispatcher = new TlcLangDispatcher(&Module);
        Lang = new TlcLang(&Module);
        TlcResourceLoading loading;
        loading.Add(*Dispatcher);
        loading.Add(*Lang);
        Dispatcher->SetNumOfLanguages(2);
        Dispatcher->SetLangNames({"Deutsch", "English"});
        Lang->SetLangDispatcher(Dispatcher);
        std::string data = "stCaptions\r\n";
        for (int n = 0; n < kEntries; ++n)
            data += Entry(n) + "\r\n";
        data += "stStrings\r\n";
        for (int n = 0; n < kEntries; ++n)
            data += Entry(n) + "\r\n";
        Lang->ReadTranslationData(data);
        loading.Finish();
        Lang->SetActiveLanguage(2);
    }
};

std::vector<std::string> Identifiers()
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> n(0, kEntries - 1);
    std::vector<std::string> ids;
    for (int i = 0; i < 1024; ++i)
        ids.push_back("IDS_" + std::to_string(n(random)));
    return ids;
}

void BM_LookupByIndex(benchmark::State& state)
{
    TDataModule dm;
    const std::vector<std::string> ids = Identifiers();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dm.Lang->GetTextOrDefault(ids[i++ & 1023]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupByIndex);

void BM_LookupByScan(benchmark::State& state)
{
    TDataModule dm;
    const std::vector<std::string> ids = Identifiers();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dm.Lang->LookupText(dm.Lang->Captions(), ids[i++ & 1023], true));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupByScan);

void BM_SwitchTwentyForms(benchmark::State& state)
{
    TDataModule dm;
    std::vector<std::unique_ptr<QObject>> forms;
    for (int f = 0; f < 20; ++f) {
        forms.push_back(std::make_unique<QObject>());
        SetOwnerRoot(forms.back().get());
        auto* lang = new TlcLangLinked(forms.back().get());
        TlcResourceLoading loading;
        loading.Add(*lang);
        lang->SetLangDispatcher(dm.Dispatcher);
        std::string data = "stCaptions\r\n";
        for (int n = 0; n < 50; ++n)
            data += Entry(n) + "\r\n";
        lang->ReadTranslationData(data);
        loading.Finish();
    }
    int language = 1;
    for (auto _ : state) {
        language = 3 - language;
        dm.Dispatcher->SetActiveLanguage(language);
    }
}
BENCHMARK(BM_SwitchTwentyForms);

} // namespace

BENCHMARK_MAIN();
