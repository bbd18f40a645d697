// Time of the pinyin initials for a 10,000-character name, per 100 characters.
#include "core/support/Pinyin.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

void measure(const char* label, const QString& unit) {
    QString name;
    while (name.size() < 10000)
        name += unit;
    name.truncate(10000);

    const int runs = 100;
    qsizetype sink = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        sink += selvo::GetFirstSpell(name).size();
    const double nsPerRun = static_cast<double>(timer.nsecsElapsed()) / runs;
    std::printf("GetFirstSpell, %s, %lld UTF-16 units: %.3f ms per name, %.3f us per 100 characters "
                "(%lld initials)\n",
                label, static_cast<long long>(name.size()), nsPerRun / 1e6,
                nsPerRun / 1e3 / (name.size() / 100.0), static_cast<long long>(sink / runs));
}

} // namespace

int main() {
    measure("mixed name", QStringLiteral("可口可乐鼢鼬王 小明Ab😀"));
    measure("level-1 hanzi only", QStringLiteral("可口可乐"));
    measure("nothing code page 936 holds", QStringLiteral("😀"));
    return 0;
}
