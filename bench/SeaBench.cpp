// Benchmarks of the Sea library's FFT sea, simulation only (no renderer):
// - significant wave height against the Pierson-Moskowitz relation for sea states 1 to 6 (the
//   JONSWAP sea the viewer asks for, which without fetch is Pierson-Moskowitz), and for the
//   Phillips spectrum and the Gerstner waves;
// - one whole simulation step of the 128 x 128 sea against FFTW's own transforms of it.
// Reads the shipped Sea.config; fixed random seed.
#include "bench/Median.h"
#include "bench/SeaStateHeights.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "water/FFT.h"
#include "water/FFTWaterModel.h"

#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
using tavribench::median;
double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Milliseconds per call of `step`, over `steps` calls.
template <class Step>
double timeSteps(Step step, int steps)
{
    double start = now();
    for (int i = 0; i < steps; ++i)
        step(i);
    return (now() - start) / steps * 1000.0;
}

} // namespace

int main()
{
    Sea::ResourceLoader loader(SEA_DATA_DIR);
    Sea::Environment env;
    if (env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader) != Sea::SUCCEEDED)
    {
        std::fprintf(stderr, "SeaBench: no Sea.config in %s\n", SEA_DATA_DIR);
        return 1;
    }
    Sea::Configuration::Set("enable-debug-messages", "no");

    const struct
    {
        int type;
        const char* name;
    } models[] = {{Sea::FFT_JONSWAP, ""}, {Sea::FFT_PHILLIPS, " (Phillips)"}, {Sea::GERSTNER, " (Gerstner)"}};
    for (const auto& model : models)
        for (int state = 1; state <= 6; ++state)
        {
            const double simulated = seastate::simulatedHeight(env, state, model.type, 400);
            const double pm = seastate::piersonMoskowitz(state);
            std::printf("sea state %d%s: Hs simulated %.3f m, Pierson-Moskowitz %.3f m, ratio %.2f\n", state,
                        model.name, simulated, pm, simulated / pm);
        }

    // For comparison: the constant without the cell area, as it is often quoted.
    const char* uncorrected = "8.1e-6";
    Sea::Configuration::Set("fft-phillips-constant-pierson-moskowitz", uncorrected);
    std::printf("with fft-phillips-constant-pierson-moskowitz = %s the ratios for sea states 4 to 6 are", uncorrected);
    for (int state = 4; state <= 6; ++state)
        std::printf(" %.2f", seastate::simulatedHeight(env, state, Sea::FFT_JONSWAP, 400) /
                                 seastate::piersonMoskowitz(state));
    std::printf("\n");
    Sea::Configuration::Set("fft-phillips-constant-pierson-moskowitz", "1.5e-7");

    env.SimulateSeaState(5.0, 0.3);
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    if (!ocean)
        return 1;
    auto* model = static_cast<Sea::FFTWaterModel*>(ocean->GetWaterModel());
    const int rows = model->GetRows(), columns = model->GetColumns();
    const int transforms = model->GetTransformsPerFrame();

    // The peer: FFTW alone, the same transforms (real output, one plan for all) on their own.
    const int half = columns / 2 + 1;
    float* in = fftwf_alloc_real(size_t(2) * rows * half * transforms);
    float* out = fftwf_alloc_real(size_t(rows) * columns * transforms);
    const int n[2] = {rows, columns};
    fftwf_plan plan = fftwf_plan_many_dft_c2r(2, n, transforms, reinterpret_cast<fftwf_complex*>(in), nullptr, 1,
                                              rows * half, out, nullptr, 1, rows * columns, FFTW_MEASURE);
    for (int i = 0; i < 2 * rows * half * transforms; ++i)
        in[i] = float(std::sin(i * 0.1));

    // Short rounds of each in turn, so that both see the same load of a shared machine; the
    // medians of the rounds.
    const int steps = 40;
    std::vector<double> oursRuns, aloneRuns, ratios;
    for (int round = 0; round < 31; ++round)
    {
        double o = timeSteps([&](int i) { ocean->Advance(1000.0 + round * 10.0 + i * 0.033); }, steps);
        double a = timeSteps([&](int) { fftwf_execute(plan); }, steps);
        oursRuns.push_back(o);
        aloneRuns.push_back(a);
        ratios.push_back(o / a);
    }
    const double ours = median(oursRuns), alone = median(aloneRuns), ratio = median(ratios);
    std::printf("sea simulation %dx%d, %d transforms: ours %.3f ms, FFTW alone %.3f ms, ratio %.2f\n", columns, rows,
                transforms, ours, alone, ratio);

    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
    delete ocean;
    return 0;
}
