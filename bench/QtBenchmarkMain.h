#pragma once

// The main of the benchmarks that need a QApplication: Qt's offscreen platform and the
// virtual sound device unless the environment names others, then Google Benchmark.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

inline int RunQtBenchmarks(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LEXORIN_AUDIO", "virtual", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
