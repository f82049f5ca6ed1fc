// How long the settings readers take on the worst files they may meet: a 10 MB server file of
// short lines or of one long line, and a profile file at the reader's size limit.
#include "settings/ProfileParser.h"
#include "settings/ServerFile.h"

#include <benchmark/benchmark.h>

namespace {

void ServerFileShortLines(benchmark::State& state)
{
    QByteArray bytes;
    while (bytes.size() < 10 * 1024 * 1024)
        bytes += "POP3=pop.example.jp\r\nx\n";
    for (auto _ : state) {
        MailSettingsRecord record;
        ParseServerFile(bytes, record);
        benchmark::DoNotOptimize(record);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(ServerFileShortLines)->Unit(benchmark::kMillisecond);

void ServerFileOneLongLine(benchmark::State& state)
{
    const QByteArray bytes = "SMTP=" + QByteArray(10 * 1024 * 1024, 'x');
    for (auto _ : state) {
        MailSettingsRecord record;
        ParseServerFile(bytes, record);
        benchmark::DoNotOptimize(record);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(ServerFileOneLongLine)->Unit(benchmark::kMillisecond);

QByteArray LargeProfile()
{
    QByteArray bytes = "[EXEINI]\r\n";
    for (int i = 0; bytes.size() < 1024 * 1024 - 32; ++i)
        bytes += "KEY" + QByteArray::number(i) + "=value\r\n";
    return bytes;
}

void ProfileFindLastKey(benchmark::State& state)
{
    const QByteArray bytes = LargeProfile();
    for (auto _ : state)
        benchmark::DoNotOptimize(Profile::FindValue(bytes, u"EXEINI", u"NAME"));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(ProfileFindLastKey)->Unit(benchmark::kMillisecond);

void ProfileSetNewKey(benchmark::State& state)
{
    const QByteArray bytes = LargeProfile();
    for (auto _ : state)
        benchmark::DoNotOptimize(Profile::SetValue(bytes, u"EXEINI", u"NAME", "id"));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(ProfileSetNewKey)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
