// Look-ups by identifier over 10^4 texts, through the sorted index and by a
// scan of the lines, and language switches that write the texts into the
// components of 20 linked forms.
#include "localization/lcLngLnk.h"

#include <QObject>
#include <QString>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

// A component with a published caption that counts its writes.
class TBenchLabel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    using QObject::QObject;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value)
    {
        FCaption = value;
        ++Writes;
    }
    int Writes = 0;

private:
    QString FCaption;
};

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
        // The scan runs over a list that a switch does not apply.
        std::string data = "stDlgsCaptions\r\n";
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
        benchmark::DoNotOptimize(dm.Lang->LookupText(dm.Lang->DlgsCaptions(), ids[i++ & 1023], true));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupByScan);

// A form with `labels` captioned components and one Captions line for each.
std::unique_ptr<QObject> MakeForm(TlcLangDispatcher* dispatcher, int labels, std::vector<TBenchLabel*>* made = nullptr)
{
    auto form = std::make_unique<QObject>();
    SetOwnerRoot(form.get());
    std::string data = "stCaptions\r\n";
    for (int n = 0; n < labels; ++n) {
        auto* label = new TBenchLabel(form.get());
        label->setObjectName(QString("lbl%1").arg(n));
        if (made)
            made->push_back(label);
        data += "lbl" + Entry(n).substr(4) + "\r\n";
    }
    auto* lang = new TlcLangLinked(form.get());
    TlcResourceLoading loading;
    loading.Add(*lang);
    lang->SetLangDispatcher(dispatcher);
    lang->ReadTranslationData(data);
    loading.Finish();
    return form;
}

void BM_SwitchTwentyForms(benchmark::State& state)
{
    TDataModule dm;
    std::vector<std::unique_ptr<QObject>> forms;
    for (int f = 0; f < 20; ++f)
        forms.push_back(MakeForm(dm.Dispatcher, 50));
    int language = 1;
    for (auto _ : state) {
        language = 3 - language;
        dm.Dispatcher->SetActiveLanguage(language);
    }
    state.SetItemsProcessed(state.iterations() * 20 * 50);
}
BENCHMARK(BM_SwitchTwentyForms)->Unit(benchmark::kMillisecond);

// One form of N components: the cost of a switch per component, and that an
// unchanged text costs no write.
void BM_SwitchOneForm(benchmark::State& state)
{
    TDataModule dm;
    std::vector<TBenchLabel*> labels;
    const auto form = MakeForm(dm.Dispatcher, static_cast<int>(state.range(0)), &labels);
    int language = 1;
    for (auto _ : state) {
        language = 3 - language;
        dm.Dispatcher->SetActiveLanguage(language);
    }
    int writes = 0;
    for (const TBenchLabel* label : labels)
        writes += label->Writes;
    state.counters["writes/switch"] = static_cast<double>(writes) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SwitchOneForm)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

#include "LookupBench.moc"
