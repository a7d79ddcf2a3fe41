#pragma once

// The significant wave height of a simulated sea, Hs = 4 standard deviations of the surface
// height over space and time, and the Pierson-Moskowitz height of the same sea state,
// 0.21 V^2 / g with the Beaufort wind V = 0.836 b^1.5. Shared by the sea-state benchmark and
// its test.
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "water/FFTWaterModel.h"
#include "water/WaterModel.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace seastate
{

inline double piersonMoskowitz(double seaState)
{
    const double v = 0.836 * std::pow(seaState, 1.5);
    return 0.21 * v * v / 9.81;
}

// An ocean of `type` on `environment` (made without a renderer) at the sea state, measured
// over `frames` frames 0.37 s apart: every point of an FFT patch, or a 64 x 64 lattice over
// 1 km of Gerstner waves.
inline double simulatedHeight(Sea::Environment& environment, double seaState, int type, int frames)
{
    environment.SimulateSeaState(seaState, 0.3);
    std::unique_ptr<Sea::Ocean> ocean(Sea::Ocean::Create(&environment, type));
    if (!ocean)
        return 0.0;
    Sea::WaterModel* model = ocean->GetWaterModel();
    auto* fft = dynamic_cast<Sea::FFTWaterModel*>(model);
    double sum = 0.0, sum2 = 0.0;
    long n = 0;
    auto add = [&](double h) {
        sum += h;
        sum2 += h * h;
        ++n;
    };
    for (int frame = 0; frame < frames; ++frame)
    {
        ocean->Advance(frame * 0.37);
        if (fft)
        {
            const int points = fft->GetRows() * fft->GetColumns();
            for (int i = 0; i < points; ++i)
                add(fft->GetDisplacement()[3 * i + 2]);
            continue;
        }
        Sea::Vector3 normal;
        for (int i = 0; i < 64; ++i)
            for (int j = 0; j < 64; ++j)
                add(model->GetHeight(i * 16.1, j * 15.7, normal));
    }
    const double mean = sum / double(n);
    return 4.0 * std::sqrt(std::max(sum2 / double(n) - mean * mean, 0.0));
}

} // namespace seastate
