// The Logs tab's find bar over a full buffer (5,500 lines of dev-server output) on the offscreen
// platform, at 1,180 x 780: the GUI thread's time for typing one more character of a query,
// from the key to the repainted text (search of every line, "N of M", the highlights in view,
// scrolling to the current match and the paint). A one-letter query matches almost every line;
// a longer one a few.

#include "runs/log_buffer.h"
#include "ui/logs/log_find_bar.h"
#include "ui/logs/log_text_view.h"
#include "ui/theme/palette.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>

namespace {

qint64 nanosNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QList<LogLine> fullBuffer()
{
    const QStringList kinds = {
        QStringLiteral("[wrangler:info] GET /api/items/%1 200 OK (3ms)"),
        QStringLiteral("[wrangler:info] POST /api/orders/%1 201 Created (12ms)"),
        QStringLiteral("▲ [WARNING] Slow request to /api/search?q=%1 took 1200ms"),
        QStringLiteral("✘ [ERROR] Error: upstream request %1 failed: connection reset"),
        QStringLiteral("    at handler (src/index.ts:%1:5)"),
        QStringLiteral("[wrangler:info] GET /assets/app-%1.js 304 Not Modified (1ms)"),
    };
    QList<LogLine> lines;
    for (int i = 0; i < int(LogBuffer::trimThreshold); ++i)
        lines.append({i, kinds[i % kinds.size()].arg(i), false});
    return lines;
}

struct Window
{
    QWidget window;
    LogTextView* text = new LogTextView;
    LogFindBar* bar = new LogFindBar(text, &window);
    QLineEdit* field = bar->findChild<QLineEdit*>(QStringLiteral("logsFindField"));

    Window()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(bar);
        layout->addWidget(text, 1);
        text->applyPalette(Palette::forScheme(Scheme::dark));
        bar->applyPalette(Palette::forScheme(Scheme::dark));
        text->rebuild(fullBuffer());
        window.resize(1180, 780);
        window.show();
        bar->open();
        QApplication::processEvents();
    }
};

// Types the query's last character onto the rest, each iteration from the shorter query.
void typeLastCharacter(benchmark::State& state, const QString& query)
{
    static Window* shown = new Window;
    Window& w = *shown;
    qint64 matches = 0;
    for (auto _ : state) {
        w.field->setText(query.chopped(1));
        w.text->viewport()->repaint();
        const qint64 start = nanosNow();
        w.field->insert(query.right(1));
        w.text->viewport()->repaint();
        state.SetIterationTime(double(nanosNow() - start) / 1e9);
        matches = w.text->matches().count();
    }
    state.counters["matches"] = double(matches);
    state.counters["lines"] = double(w.text->lineCount());
}

void BM_FindTypingTheFirstLetter(benchmark::State& state)
{
    typeLastCharacter(state, QStringLiteral("e"));
}
BENCHMARK(BM_FindTypingTheFirstLetter)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FindTypingTheSecondLetter(benchmark::State& state)
{
    typeLastCharacter(state, QStringLiteral("er"));
}
BENCHMARK(BM_FindTypingTheSecondLetter)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FindTypingAWord(benchmark::State& state)
{
    typeLastCharacter(state, QStringLiteral("upstream"));
}
BENCHMARK(BM_FindTypingAWord)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("target: typing one character < 16 ms on the GUI thread\n");
    return 0;
}
