#pragma once
// The end of a generator benchmark's main: runs what the command line
// selects, then frees the settings and template singletons the generators
// made, so that they are written and closed before the work folder goes.
#include <benchmark/benchmark.h>

#include "model/Options.h"
#include "model/TemplateLibrary.h"

inline int RunGeneratorBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return 0;
}
