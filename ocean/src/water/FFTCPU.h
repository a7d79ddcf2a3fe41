#pragma once

#include "water/FFT.h"

#include <fftw3.h>

namespace Sea
{

// FFTW in single precision. All transforms of a frame share one plan, made once.
class FFTCPU : public FFT
{
public:
    explicit FFTCPU(bool realData = true);
    ~FFTCPU() override;

    bool Setup(int rows, int columns, int count, Environment* environment) override;
    bool InverseTransform2D() override;
    bool TransformsRealData() const override { return realData; }
    const char* GetName() const override { return "FFTCPU"; }
    float* GetInput(int i) override;
    float* GetOutput(int i) override;

private:
    void Release();

    bool realData;
    int rows = 0;
    int columns = 0;
    int count = 0;
    size_t inputStride = 0;  // floats per transform
    size_t outputStride = 0; // floats per transform
    float* input = nullptr;
    float* output = nullptr;
    fftwf_plan plan = nullptr;
};

} // namespace Sea
